# Two commands do all set-up on a fresh Debian machine:
#   make run   installs what is missing, builds, starts the program
#   make test  the same, then runs every test
#   make package  a Debian package (build/quillmark_VERSION_ARCH.deb)
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build run test package test-asan clean bench fuzz

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

package: build
	cd $(BUILD) && cpack -G DEB

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
# A hostile picture may make a library ask for gigabytes: without the sanitizer
# malloc says no and the library reports it, so it does the same here.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/leaks.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j$(JOBS)

# The libFuzzer targets, built with clang; fuzz/README.md says how to run them.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_FUZZ=ON \
	    -DQUILLMARK_BUILD_UI=OFF -DQUILLMARK_BUILD_TESTS=OFF
	cmake --build build-fuzz -j$(JOBS) --target fuzz_normalize fuzz_emf fuzz_pdf fuzz_bmp fuzz_keep_jpeg

bench: build
	QUILLMARK_BENCH=1 bash scripts/install-deps.sh
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
