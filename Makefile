# The two commands of the README, and a few more for developers.
#   make run    installs what is missing, builds and starts Sayvane
#   make test   the same set-up, then every test: the sanitizer builds, a short fuzzer run
#               and the normal build (see scripts/test.sh)
#   make bench  the performance record (docs/PERFORMANCE.md)
#   make fuzz   the quotes-file fuzzer for FUZZ_SECONDS (600 by default)
#   make deb    the Debian package, build/sayvane_<version>_<arch>.deb
#   make test-desktops  Sayvane in real GNOME Shell and Plasma panels (installs the shells)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

FUZZ_SECONDS ?= 600

.PHONY: all deps build run test bench fuzz format clean deb test-desktops

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

run: build
	./scripts/run.sh build/sayvane

test: deps
	./scripts/test.sh

bench: build
	./scripts/bench.sh

fuzz: deps
	./scripts/fuzz.sh $(FUZZ_SECONDS)

deb: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target sayvane sayvane_data
	cd build && cpack

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-*

test-desktops: build
	./scripts/install-deps.sh --desktop-shells
	SAYVANE_DESKTOP_TESTS=1 ctest --test-dir build -L 'gnome|plasma' --output-on-failure
