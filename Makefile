# make build  - the three libraries: build/win32/zavvfd.dll (the product),
#               build/win64/zavvfd.dll and build/linux/libzavvfd.so
# make test   - builds, then runs every test (unit, Linux, Windows under wine64, 32-bit file check)
JOBS ?= 2

.PHONY: all build deps test clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset linux
	cmake --build --preset linux -j $(JOBS)
	cmake --preset win32
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset win64
	cmake --build --preset win64 -j $(JOBS)

test: build
	ctest --preset linux

clean:
	rm -rf build
