# make            install missing packages and build build/tarvik
# make run        ... and start Tarvik (make run ARGS='-a')
# make test       install missing packages and test peers, build, run every test,
#                 then again under AddressSanitizer and UndefinedBehaviorSanitizer,
#                 then each fuzz target for FUZZ_SECONDS
# make install    build and install into PREFIX (make install PREFIX=~/.local)
# make package    build the Debian package build/tarvik_VERSION_ARCH.deb
# make fuzz       build the libFuzzer targets (clang) in build-fuzz and run each
#                 for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_ini fuzz_scripts fuzz_unscramble fuzz_extract
ARGS ?=
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps build build-asan build-fuzz run install package test test-plain test-asan fuzz format clean

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

# Clang with libFuzzer; the project's libraries get coverage, ASan and UBSan.
build-fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_C_COMPILER=clang -DTARVIK_FUZZ=ON -DTARVIK_WERROR=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

# New inputs go to $(FUZZ_BUILD)/corpus, the seeds in fuzz/corpus stay as they
# are; an input that breaks a target is kept in $(FUZZ_BUILD)/artifacts.
fuzz: test-deps build-fuzz
	@mkdir -p $(FUZZ_BUILD)/artifacts
	@for t in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	    echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	    if ! ./$(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	            -rss_limit_mb=2048 -print_final_stats=1 \
	            -artifact_prefix=$(FUZZ_BUILD)/artifacts/$$t- \
	            $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t > $(FUZZ_BUILD)/$$t.log 2>&1; then \
	        tail -n 12 $(FUZZ_BUILD)/$$t.log; \
	        for a in $(FUZZ_BUILD)/artifacts/$$t-*; do \
	            echo "$$a in base 64:"; base64 -w 100 "$$a" | head -n 12; done; \
	        echo "$$t: the failure, from its first line:"; \
	        grep -m1 -A24 -E '==ERROR|property broken|deadly signal|Timeout|out-of-memory' \
	            $(FUZZ_BUILD)/$$t.log; \
	        exit 1; \
	    fi; \
	    grep -E '^stat::(number_of_executed_units|new_units_added)' $(FUZZ_BUILD)/$$t.log; \
	done

run: deps build
	./$(BUILD)/tarvik $(ARGS)

install: deps build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: deps build
	cd $(BUILD) && cpack -G DEB

test: test-deps
	$(MAKE) test-plain
	$(MAKE) test-asan
	$(MAKE) fuzz

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
