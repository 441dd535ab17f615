# The two set-up commands: `make run` and `make test`. Everything else is a step of those.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test bench run fuzz clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DTAMVELO_BUILD_UI=ON -DTAMVELO_BUILD_BENCH=ON -DTAMVELO_SANITIZE=OFF $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@scripts/bench.sh $(BUILD)

run: build
	@scripts/run.sh $(BUILD)

# Runs each fuzz target for FUZZ_SECONDS (default 60) and keeps every crasher as a regression.
fuzz:
	@scripts/fuzz.sh

clean:
	rm -rf $(BUILD)
