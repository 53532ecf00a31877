# Drives the three build trees:
#   build/host   native: portable library, host tests, pack tool, benchmarks
#   build/win32  i686 MinGW-w64: the shipped build/win32/Trevan.exe
#   build/win64  x86_64 MinGW-w64: the same program and the Windows-side
#                tests, which CTest runs under wine64
SHELL := /bin/bash
JOBS ?= $(shell nproc)
HOST := build/host
W32 := build/win32
W64 := build/win64
FUZZ := build/fuzz
# Seconds each fuzz target runs in `make fuzz`; `make test` runs a short pass.
FUZZ_TIME ?= 60
FUZZ_TEST_TIME ?= 3

.PHONY: all build test demo bench dist clean deps configure fuzz fuzz-build

all: build

deps:
	@scripts/install-deps --quiet

configure: deps
	@test -f $(W64)/build.ninja || cmake -S . -B $(W64) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
	@test -f $(W32)/build.ninja || cmake -S . -B $(W32) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DTREVAN_TESTS=OFF
	@test -f $(HOST)/build.ninja || cmake -S . -B $(HOST) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Release -DTREVAN_WIN64_DIR=$(CURDIR)/$(W64)

build: configure
	cmake --build $(W64) -j $(JOBS)
	cmake --build $(W32) -j $(JOBS)
	cmake --build $(HOST) -j $(JOBS)

# Every suite of every tree runs, even after a failure; the target fails if
# any of them did. The host tree's suites include the 32-bit one (the shipped
# program as a WOW64 process), skipped where the machine cannot run it. The
# fuzz targets get a short pass over their corpora.
test: build fuzz-build
	@status=0; \
	ctest --test-dir $(HOST) --output-on-failure -j $(JOBS) || status=1; \
	ctest --test-dir $(W64) --output-on-failure -j $(JOBS) || status=1; \
	scripts/fuzz $(FUZZ) $(FUZZ_TEST_TIME) || status=1; \
	if [ $$status -ne 0 ]; then echo "make test: FAILED"; else echo "make test: all suites passed"; fi; \
	exit $$status

# The libFuzzer targets (Debian's clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in their own tree.
fuzz-build: deps
	@test -f $(FUZZ)/build.ninja || CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja \
	  -DTREVAN_FUZZ=ON -DTREVAN_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ) -j $(JOBS)

# Each fuzz target for FUZZ_TIME seconds, its corpus under build/fuzz.
fuzz: fuzz-build
	@scripts/fuzz $(FUZZ) $(FUZZ_TIME)

# Packs a demo bootstrapper and runs it under Wine.
demo: build
	@scripts/demo

# Benchmarks: MD5 against OpenSSL, the pack tool on a 512 MiB file with its
# peak memory, and the program under wine64 (a 1 GiB setup program, a
# truncated download, the start-up overhead). Test data in $(HOST)/bench-data.
bench: build
	cmake --build $(HOST) -j $(JOBS) --target benchmarks
	@status=0; \
	bench/run-benchmarks $(HOST) || status=1; \
	echo; bench/wine-bench $(HOST) $(W64) || status=1; \
	exit $$status

# The release archives build/dist/trevan-<version>-linux.tar.gz and
# trevan-<version>-windows.zip with SHA256SUMS (scripts/dist; the version
# is the project's CMake version).
dist: build
	@scripts/dist $(HOST) $(W32) $(W64) build/dist
	@ls build/dist/*

clean:
	-@for p in $(HOST)/wineprefix $(HOST)/bench-wineprefix $(W64)/wineprefix $(W32)/wineprefix build/demo/wineprefix; do \
	  [ -d $$p ] && scripts/wine-session stop $$p; done; true
	rm -rf build
