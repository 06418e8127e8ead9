# Front door for people: every target installs what is missing first.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test demo bench fuzz package lint-package install screenshots translations format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only what the demo runs: a fresh machine need not build every test and benchmark first.
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target rollcall rollcall-find hlsim
	@scripts/demo $(BUILD)

bench: build
	@scripts/bench $(BUILD)

fuzz: deps
	@scripts/fuzz

package: build
	@cd $(BUILD) && cpack -G DEB

# Not part of CI, which spares the time of installing and running lintian.
lint-package: build
	@scripts/lintian-check $(BUILD)

screenshots: build
	@scripts/screenshots $(BUILD)

# Rewrites translations/rollcall.ts (and any language beside it) from the texts in src/.
translations: configure
	@cmake --build $(BUILD) --target translations

format: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 -i

clean:
	rm -rf $(BUILD) build-asan build-fuzz
