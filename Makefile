# Two commands do all set-up on a fresh Debian machine:
#   make run   installs what is missing, builds, starts the program
#   make test  the same, then runs every test
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build run test clean bench

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	QUILLMARK_BENCH=1 bash scripts/install-deps.sh
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
