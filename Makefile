# make demo       draws a sample screen on the virtual VFD through the Linux library
# make demo-wine  the same with the 64-bit Windows DLL and host under wine64
# make build      the three libraries: build/win32/zavvfd.dll (the product),
#                 build/win64/zavvfd.dll and build/linux/libzavvfd.so, and the tools
# make test       builds, then runs every test (unit, Linux, Windows under wine64, the
#                 32-bit file check, both demos, the native suite under sanitizers,
#                 each fuzz target for 10 s)
# make fuzz       runs each fuzz target for FUZZ_SECONDS (default 60)
# make bench      each command's cost beside the bare system calls (bench/README.md)
JOBS ?= 2

.PHONY: all build deps test fuzz bench demo demo-wine clean build-linux build-win32 build-win64 build-linux-asan build-fuzz

all: build

deps:
	@scripts/install-deps.sh

build-linux build-win32 build-win64 build-linux-asan build-fuzz: build-%: deps
	cmake --preset $*
	cmake --build --preset $* -j $(JOBS)

build: build-linux build-win32 build-win64

# One ctest run holds everything, the sanitizer suite and the fuzzing among it.
test: build build-linux-asan build-fuzz
	ctest --preset linux

fuzz: build-fuzz
	scripts/fuzz.sh

bench: build-linux build-win64
	scripts/bench.sh

demo: build-linux
	scripts/demo.sh linux

demo-wine: build-linux build-win64
	scripts/demo.sh wine

clean:
	rm -rf build
