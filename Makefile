# The front door. `make run` builds everything and runs the installer; `make test` builds
# everything and runs every test. Both install what is missing first (`make deps`).

BUILD := build
DIST := dist
NATIVE := $(BUILD)/native
TOOLS := $(BUILD)/tools
X64 := $(BUILD)/x64
X86 := $(BUILD)/x86
JOBS ?= $(shell nproc)

# What `make run` installs: any screen saver file.
PAYLOAD ?= $(DIST)/sample.scr
# Which host `make run` starts: x64 starts in a second under wine64, x86 is the real 32-bit
# product and runs under emulation (about a minute to start).
RUN_ARCH ?= x64

.PHONY: all deps configure build dist run test bench clean format

all: dist

deps:
	scripts/deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DSCR_SANITIZE=ON

# The packer users get: an optimised build without the sanitizers of the test build.
$(TOOLS)/CMakeCache.txt:
	cmake -S . -B $(TOOLS) -DCMAKE_BUILD_TYPE=Release -DSCR_TESTS=OFF

$(X64)/CMakeCache.txt:
	cmake -S . -B $(X64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

$(X86)/CMakeCache.txt:
	cmake -S . -B $(X86) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

configure: deps $(NATIVE)/CMakeCache.txt $(TOOLS)/CMakeCache.txt $(X64)/CMakeCache.txt $(X86)/CMakeCache.txt

build: configure
	cmake --build $(NATIVE) -j $(JOBS)
	cmake --build $(TOOLS) -j $(JOBS) --target scrpack
	cmake --build $(X64) -j $(JOBS)
	cmake --build $(X86) -j $(JOBS)

dist: build
	mkdir -p $(DIST)/x64
	cp $(X86)/scrsetup.exe $(DIST)/scrsetup.exe
	cp $(X86)/scrpack.exe $(DIST)/scrpack.exe
	cp $(TOOLS)/scrpack $(DIST)/scrpack
	cp $(X64)/scrsetup.exe $(DIST)/x64/scrsetup.exe
	@ls -l $(DIST) $(DIST)/x64

# Until a screen saver of our own ships, the sample payload is a block of bytes: the installer
# copies its payload without looking inside.
$(DIST)/sample.scr:
	mkdir -p $(DIST)
	head -c 65536 /dev/urandom > $@

run: dist $(PAYLOAD)
	mkdir -p $(BUILD)/run
	$(DIST)/scrpack build $(if $(filter x86,$(RUN_ARCH)),$(DIST)/scrsetup.exe,$(DIST)/x64/scrsetup.exe) \
		$(PAYLOAD) -o $(BUILD)/run/setup.exe
	scripts/wine-run.sh --prefix $(BUILD)/run/wine $(BUILD)/run/setup.exe

test: dist
	scripts/run-tests.sh $(NATIVE) $(X64) $(X86)

# Measurements, not tests: one line per figure (see README.md, "Benchmarks"). Several minutes.
bench: dist
	scripts/bench.sh $(BUILD) $(DIST)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(DIST)
