# The two commands: `make dist` and `make test`. Both install what is missing first.
BUILD   := build
JOBS    ?= $(shell nproc)
VERSION := $(shell cat VERSION)

FUZZ_SECONDS ?= 600
STRESS_SECONDS ?= 10
ENDS_ROUNDS ?= 300
ENDS_LOAD ?= 1

.PHONY: all test dist bootstrap build linux32 win32 tools-linux32 fuzz fuzz-build fuzz-keep stress stress-build stress-ends bench clean

all: test

bootstrap:
	@./scripts/bootstrap.sh

# Configuring again is cheap once the cache exists, and mends a configure that failed.
linux32: bootstrap
	cmake -S . -B $(BUILD)/linux32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux32.cmake -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(BUILD)/linux32 -j $(JOBS)

win32: bootstrap
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/win32 -j $(JOBS)

build: linux32 win32

# The fuzz targets: clang, 32-bit, libFuzzer with ASan and UBSan, in a build folder of their own.
fuzz-build: bootstrap
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-fuzz.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_FUZZ=ON -DQX_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target qx_fuzz

# Every target for FUZZ_SECONDS; new corpus entries stay in $(BUILD)/fuzz/corpus.
fuzz: fuzz-build
	./tests/fuzz/run-fuzzers.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

# What the runs found, into the tree's corpora; their figures into its ledger.
fuzz-keep: fuzz-build
	./tests/fuzz/keep-corpus.sh $(BUILD)/fuzz

# The thread stress without sanitizers (valgrind cannot run them), for valgrind's race
# detectors: natively with its checks, then under helgrind and under drd; then the Windows
# build's against QXKit.dll under Wine.
stress-build: bootstrap
	cmake -S . -B $(BUILD)/stress -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux32.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_VALGRIND=ON -DQX_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/stress -j $(JOBS) --target qx_stress

stress: stress-build
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/win32 -j $(JOBS) --target qx_stress
	./tests/stress/run-stress.sh $(BUILD)/stress/tests/stress/qx_stress $(STRESS_SECONDS) $(BUILD)/win32

# The Windows build's tests whose process ends while the plugin's threads run, each run
# ENDS_ROUNDS times beside ENDS_LOAD busy loops; fails on any failed run.
stress-ends: win32
	./tests/stress/run-ends.sh $(BUILD)/win32 $(ENDS_ROUNDS) $(ENDS_LOAD) 2

# The smoke of the fuzzers: each target over its seed corpus, then 20 seconds of fuzzing.
test: build fuzz-build
	cd $(BUILD)/linux32 && ctest --output-on-failure -j $(JOBS)
	./scripts/wine-tests.sh $(BUILD)/win32 $(JOBS)
	./tests/fuzz/run-fuzzers.sh --smoke $(BUILD)/fuzz 20

# The benchmarks on an optimised Linux build without sanitizers and on the Windows build
# (build/win32: the shipped DLL's own build and flags; its programs run under Wine): one
# table of measured figures beside their goals, a column per build (instruction counts from
# callgrind, same-run wall-time ratios against each build's own baselines).
bench: bootstrap
	cmake -S . -B $(BUILD)/linux32-release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux32.cmake -DCMAKE_BUILD_TYPE=Release -DQX_SANITIZE=OFF -DQX_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/linux32-release -j $(JOBS) --target benchmarks
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/win32 -j $(JOBS) --target benchmarks
	python3 scripts/bench.py $(BUILD)/linux32-release --windows $(BUILD)/win32 --markdown $(BUILD)/bench-table.md

# The Linux build of the tool that ships: optimised, without sanitizers or tests.
tools-linux32: bootstrap
	cmake -S . -B $(BUILD)/linux32-tools -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux32.cmake -DCMAKE_BUILD_TYPE=Release -DQX_SANITIZE=OFF -DQX_BUILD_TESTS=OFF >/dev/null
	cmake --build $(BUILD)/linux32-tools -j $(JOBS) --target qxkit

# Only what ships: QXKit.dll with its symbol map and the Windows tool (in the Windows build, whose
# tests `make test` builds later), the Linux tool, which also compiles the scripts; then the
# DLL's own check before it is packed.
dist: tools-linux32
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-win32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/win32 -j $(JOBS) --target QXKit symbol_map qxkit
	./scripts/check-dll.sh $(BUILD)/win32/QXKit.dll $(CURDIR) $(VERSION)
	./scripts/package.sh $(BUILD)/win32 $(VERSION) $(BUILD)/linux32-tools/qxkit

clean:
	rm -rf $(BUILD) dist/*.zip
