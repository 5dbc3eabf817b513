# The two commands of the README, and a few more for developers.
#   make run    installs what is missing, builds and starts Sayvane
#   make test   the same set-up, then every test: the normal build, the AddressSanitizer and
#               UndefinedBehaviorSanitizer build, and the further checks listed in the README
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-build test-asan bench format clean

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
	./build/Benchmarks/sayvane_benchmarks

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-*
