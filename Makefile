# make demo       draws a sample screen on the virtual VFD through the Linux library
# make demo-wine  the same with the 64-bit Windows DLL and host under wine64
# make build      the three libraries: build/win32/zavvfd.dll (the product),
#                 build/win64/zavvfd.dll and build/linux/libzavvfd.so, and the tools
# make test       builds, then runs every test (unit, Linux, Windows under wine64,
#                 the 32-bit file check, both demos)
JOBS ?= 2

.PHONY: all build deps test demo demo-wine clean build-linux build-win32 build-win64

all: build

deps:
	@scripts/install-deps.sh

build-linux build-win32 build-win64: build-%: deps
	cmake --preset $*
	cmake --build --preset $* -j $(JOBS)

build: build-linux build-win32 build-win64

test: build
	ctest --preset linux

demo: build-linux
	scripts/demo.sh linux

demo-wine: build-linux build-win64
	scripts/demo.sh wine

clean:
	rm -rf build
