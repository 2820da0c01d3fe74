# make            install missing packages and build build/tarvik
# make run        ... and start Tarvik (make run ARGS='-a')
# make test       install missing packages and test peers, build, run every test,
#                 then again under AddressSanitizer and UndefinedBehaviorSanitizer
BUILD ?= build
ASAN_BUILD ?= build-asan
ARGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps build build-asan run test test-plain test-asan format clean

all: deps build

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --test

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: deps build
	./$(BUILD)/tarvik $(ARGS)

test: test-deps
	$(MAKE) test-plain
	$(MAKE) test-asan

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
