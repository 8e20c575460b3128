# The two commands of the README: `make run` and `make test`; `make bench` prints figures.
JOBS ?= $(shell nproc)
ARGS ?=

.PHONY: all deps build run test bench fuzz install package clean format

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@bash scripts/run.sh $(ARGS)

# Unit tests under the sanitizers, the datagram fuzzer for a bounded time, then the whole
# suite, so that the run ends with CTest's summary of everything.
test: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target fuzzers
	@bash scripts/fuzz.sh $${FUZZ_SECONDS:-60}
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)
	@ctest --preset default -j $(JOBS)

bench: build
	@bash scripts/bench.sh

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target fuzzers
	@bash scripts/fuzz.sh $${FUZZ_SECONDS:-60}

install: build
	@cmake --install build/default

# Debian packages of the programs and of the socket-thread library, in build/packages.
package: build
	@rm -rf build/packages
	@cpack --config build/default/CPackConfig.cmake -B build/packages >/dev/null
	@rm -rf build/packages/_CPack_Packages
	@ls -1 build/packages/*.deb

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
