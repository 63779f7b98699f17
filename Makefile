# make demo   build the converter and convert the shipped example into build/demo/
# make test   build with sanitizers and run every unit, end-to-end and fuzz-replay test
# make bench  build optimised and run the benchmarks (large tables are generated once)
# make fuzz   run each libFuzzer target for FUZZ_SECONDS seconds (clang)

FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all demo test bench fuzz release deps clean

all: release

deps:
	@tools/install-deps

release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

demo: release
	@tools/run-demo build/release/VORT2Pelta build/demo

test: deps
	cmake --preset test >/dev/null
	cmake --build --preset test -j $(JOBS)
	ctest --preset test -j $(JOBS)

bench: release
	cmake --build --preset release -j $(JOBS) --target micro_bench
	build/release/bench/micro_bench --benchmark_min_time=0.5
	tools/bench-runs build/release

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	tools/run-fuzz build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
