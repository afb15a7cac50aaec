# Ferrit: `make run` sets up and starts the program, `make test` sets up and runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
WINDOWS_BUILD ?= build-windows
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan run test test-normal test-asan bench bench-local bench-deep \
	bench-window bench-net install screenshots format format-check clean windows-deps windows \
	test-windows check-ui-windows

all: build

deps:
	@bash scripts/setup-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFERRIT_SANITIZE=ON $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: test-normal test-asan

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# make bench runs every section; bench-SECTION runs one (bench/SECTION.sh).
bench: build
	@bash bench/run_bench.sh $(BUILD)

bench-local bench-deep bench-window bench-net: bench-%: build
	@bash bench/run_bench.sh $(BUILD) $*

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails, naming the files, where a source file does not match .clang-format.
format-check: deps
	@clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

# 32-bit Windows: cross-built with mingw-w64, tested under 32-bit Wine (see the README).
windows-deps:
	@bash scripts/setup-windows-deps.sh $(WINDOWS_BUILD)/gtest

$(WINDOWS_BUILD)/build.ninja:
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DFERRIT_BUILD_UI=OFF \
		-DGTest_DIR=$(abspath $(WINDOWS_BUILD))/gtest/lib/cmake/GTest $(CMAKE_FLAGS)

windows: windows-deps $(WINDOWS_BUILD)/build.ninja
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

test-windows: windows
	@bash scripts/test-windows.sh $(WINDOWS_BUILD) $(JOBS)

# The window's sources compiled for Windows against Debian's Qt headers, syntax only: no Qt for
# Windows is at hand here to link them.
check-ui-windows: windows-deps
	@bash scripts/check-ui-windows.sh $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WINDOWS_BUILD)
