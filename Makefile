# make demo   build the converter alone and convert the shipped example into build/demo/
# make test   build with UBSan and run every unit, end-to-end and fuzz-replay test
# make asan   the same tests under AddressSanitizer (CI runs both)
# make test-zlib  the compressed-table tests again with zlib inflating (as on Windows)
# make bench  build optimised with the benchmarks and run them (large tables made once)
# make fuzz   run each libFuzzer target for FUZZ_SECONDS seconds (clang)
# make windows  cross-build build/windows/VORT2Pelta.exe and its zip with mingw-w64
# make windows-test  the Windows unit tests and the Windows-against-Linux runs, under wine
# Each target first installs the Debian packages it needs, when they are missing.

FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all demo test test-zlib asan bench fuzz release windows windows-test clean

all: release

release:
	@tools/install-deps demo
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target VORT2Pelta

demo: release
	@tools/run-demo build/release/VORT2Pelta build/demo

test:
	@tools/install-deps test
	cmake --preset test >/dev/null
	cmake --build --preset test -j $(JOBS)
	ctest --preset test -j $(JOBS)

# The tests that inflate, with the inflater a build without ISA-L uses.
ZLIB_TESTS = Gzip|Compressed|compressed|PipedTable|piped|StreamBounds|_gz

test-zlib:
	@tools/install-deps test
	cmake --preset test -B build/test-zlib -DVORT2PELTA_INFLATER=zlib >/dev/null
	cmake --build build/test-zlib -j $(JOBS) --target unit_tests e2e_tests
	ctest --test-dir build/test-zlib -j $(JOBS) -R '$(ZLIB_TESTS)'

asan:
	@tools/install-deps test
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench:
	@tools/install-deps bench
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	build/bench/bench/micro_bench --benchmark_min_time=0.5
	tools/bench-runs build/bench

fuzz:
	@tools/install-deps fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	tools/run-fuzz build/fuzz $(FUZZ_SECONDS)

windows:
	@tools/install-deps windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS) --target VORT2Pelta windows_zip

# The runs under wine are compared with those of the Linux release build.
windows-test: windows
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target VORT2Pelta make_vort_table
	cmake --build --preset windows -j $(JOBS)
	ctest --preset windows -j $(JOBS)

clean:
	rm -rf build
