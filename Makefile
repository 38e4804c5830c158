# The front door. `make run` builds everything and installs the demo screen saver with the
# real installer; `make test` builds everything and runs every test. Both install what is missing first (`make deps`).

BUILD := build
DIST := dist
NATIVE := $(BUILD)/native
TOOLS := $(BUILD)/tools
X64 := $(BUILD)/x64
X86 := $(BUILD)/x86
FUZZ := $(BUILD)/fuzz
JOBS ?= $(shell nproc)

# Which installer `make run` starts: x86 is the real 32-bit product and runs under emulation
# (about a minute a process), x64 its 64-bit twin, which starts in a second under wine64.
RUN_ARCH ?= x86
RUN_DIST = $(if $(filter x64,$(RUN_ARCH)),$(DIST)/x64,$(DIST))
# What `make run` installs: the demo screen saver, or any screen saver file.
PAYLOAD ?= $(RUN_DIST)/demo.scr

# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build dist run test fuzz bench clean format

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

# With a display, the installer's dialog is there for you; without one, scripts/demo-run.sh
# installs as a person would on a virtual display and reports what was written.
run: dist
	$(DIST)/scrpack build $(RUN_DIST)/scrsetup.exe $(PAYLOAD) -o $(RUN_DIST)/DemoSetup.exe
	scripts/demo-run.sh $(RUN_DIST)/DemoSetup.exe $(X64)/tests/saver/demo_run.exe $(BUILD)/run

# The demo screen saver (saver/): dist/demo-host.scr without pictures, dist/demo.scr with the
# pictures that scripts/demo-pictures.sh draws and a "Global Properties" entry, and
# dist/DemoSetup.exe, the installer that carries it. dist/x64/ holds the 64-bit twins.
DEMO_PICTURES := $(BUILD)/demo-pictures
DEMO_ENTRIES = "$(DEMO_PICTURES)/Global Properties" $(DEMO_PICTURES)/1-plasma.jpg \
	$(DEMO_PICTURES)/2-plasma.jpg $(DEMO_PICTURES)/3-plasma.bmp

.PHONY: demo
dist: demo
demo: build
	scripts/demo-pictures.sh $(DEMO_PICTURES)
	printf 'seconds=5\norder=sequential\n' > "$(DEMO_PICTURES)/Global Properties"
	mkdir -p $(DIST)/x64
	cp $(X86)/saver/demo.scr $(DIST)/demo-host.scr
	cp $(X64)/saver/demo.scr $(DIST)/x64/demo-host.scr
	$(TOOLS)/scrpack build --any $(DIST)/demo-host.scr $(DEMO_ENTRIES) -o $(DIST)/demo.scr
	$(TOOLS)/scrpack build --any $(DIST)/x64/demo-host.scr $(DEMO_ENTRIES) -o $(DIST)/x64/demo.scr
	$(TOOLS)/scrpack build $(X86)/scrsetup.exe $(DIST)/demo.scr -o $(DIST)/DemoSetup.exe
	$(TOOLS)/scrpack build $(X64)/scrsetup.exe $(DIST)/x64/demo.scr -o $(DIST)/x64/DemoSetup.exe

test: dist
	scripts/run-tests.sh $(NATIVE) $(X64) $(X86)

# The fuzz targets, built with clang and libFuzzer in a build of their own.
$(FUZZ)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCR_SANITIZE=ON \
		-DSCR_FUZZ=ON

fuzz: deps $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS) --target fuzz_reader fuzz_target_rules fuzz_saver
	scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

# Measurements, not tests: one line per figure (see README.md, "Benchmarks"). Several minutes.
bench: dist
	cmake --build $(TOOLS) -j $(JOBS) --target open_bench
	scripts/bench.sh $(BUILD) $(DIST)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(DIST)
