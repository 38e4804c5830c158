# The front door. `make run` builds everything and runs the installer; `make test` builds
# everything and runs every test. Both install what is missing first (`make deps`).

BUILD := build
DIST := dist
NATIVE := $(BUILD)/native
TOOLS := $(BUILD)/tools
X64 := $(BUILD)/x64
X86 := $(BUILD)/x86
FUZZ := $(BUILD)/fuzz
JOBS ?= $(shell nproc)

# What `make run` installs: any screen saver file.
PAYLOAD ?= $(DIST)/sample.scr
# Which host `make run` starts: x64 starts in a second under wine64, x86 is the real 32-bit
# product and runs under emulation (about a minute to start).
RUN_ARCH ?= x64

# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build dist run test fuzz clean format

all: dist

deps:
	scripts/deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DSCR_SANITIZE=ON

# The packer users get: an optimised build without the sanitizers of the test build.
$(TOOLS)/CMakeCache.txt:
	cmake -S . -B $(TOOLS) -DCMAKE_BUILD_TYPE=Release -DSCR_TESTS=OFF

# The 64-bit tests read the resources of the shipped 32-bit host too.
$(X64)/CMakeCache.txt:
	cmake -S . -B $(X64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
		-DSCR_X86_HOST=$(abspath $(X86))/scrsetup.exe

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
# copies its payload without looking inside, and the packer is told with --any to take it.
$(DIST)/sample.scr:
	mkdir -p $(DIST)
	head -c 65536 /dev/urandom > $@

run: dist $(PAYLOAD)
	mkdir -p $(BUILD)/run
	$(DIST)/scrpack build $(if $(filter x86,$(RUN_ARCH)),$(DIST)/scrsetup.exe,$(DIST)/x64/scrsetup.exe) \
		$(PAYLOAD) $(if $(filter $(DIST)/sample.scr,$(PAYLOAD)),--any) -o $(BUILD)/run/setup.exe
	scripts/wine-run.sh --prefix $(BUILD)/run/wine $(BUILD)/run/setup.exe

test: dist
	scripts/run-tests.sh $(NATIVE) $(X64) $(X86)

# The fuzz targets, built with clang and libFuzzer in a build of their own.
$(FUZZ)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCR_SANITIZE=ON \
		-DSCR_FUZZ=ON

fuzz: deps $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS) --target fuzz_reader fuzz_target_rules
	scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(DIST)
