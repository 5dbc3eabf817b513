# The two commands of the README, and a few more for developers.
#   make run     installs what building and running need, builds the program alone and starts it
#   make test    installs what testing needs too, then every test: the sanitizer build, a short
#                fuzzer run and the normal build with all tests (see scripts/test.sh)
#   make check   the developer's loop: builds the normal tree and runs the fast tests (not
#                those that start window managers or build packages)
#   make bench   the performance record (docs/PERFORMANCE.md)
#   make fuzz    the quotes-file fuzzer for FUZZ_SECONDS (600 by default)
#   make deb     the Debian package, build/sayvane_<version>_<arch>.deb
#   make format  clang-format over the sources; make format-check fails on unformatted files
#   make test-desktops  Sayvane in real GNOME Shell, Plasma and MATE panels (installs the shells)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 600

# Ninja for a new build folder where it is installed; an existing folder keeps its generator.
GENERATOR := $(if $(wildcard build/CMakeCache.txt),,$(if $(shell command -v ninja),-G Ninja))
CONFIGURE = cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
SOURCES = git ls-files '*.cpp' '*.h'

.PHONY: all deps test-deps build run check test bench fuzz format format-check clean deb test-desktops

all: build

deps:
	@./scripts/install-deps.sh

test-deps:
	@./scripts/install-deps.sh --test

build: deps
	$(CONFIGURE)
	cmake --build build -j $(JOBS) --target sayvane

run: build
	./scripts/run.sh build/sayvane

check: test-deps
	$(CONFIGURE) -DSAYVANE_BUILD_TESTS=ON
	cmake --build build -j $(JOBS)
	ctest --test-dir build -j $(JOBS) --output-on-failure -LE 'wm|package'

test: deps
	./scripts/test.sh

bench: test-deps
	$(CONFIGURE) -DSAYVANE_BUILD_TESTS=ON -DSAYVANE_BUILD_BENCHMARKS=ON
	cmake --build build -j $(JOBS) --target sayvane sayvane_benchmarks sayvane_process_measure \
	    sayvane_bare_strip
	./scripts/bench.sh

fuzz: test-deps
	./scripts/fuzz.sh $(FUZZ_SECONDS)

deb: test-deps
	$(CONFIGURE)
	cmake --build build -j $(JOBS) --target sayvane sayvane_data
	cd build && cpack

format:
	clang-format -i $$($(SOURCES))

format-check:
	clang-format --dry-run --Werror $$($(SOURCES))

clean:
	rm -rf build build-*

test-desktops:
	./scripts/install-deps.sh --desktop-shells
	$(CONFIGURE) -DSAYVANE_BUILD_TESTS=ON
	cmake --build build -j $(JOBS)
	SAYVANE_DESKTOP_TESTS=1 ctest --test-dir build -L 'gnome|plasma|mate' --output-on-failure
