# Shortcuts over CMake. `make run` converts the sample network; `make test` runs every suite.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 45
WIN_BUILD ?= build-win
WIN_HOST_BUILD ?= $(BUILD)
WEB_BUILD ?= build-web
PACKAGE_DIR ?= $(BUILD)/packages

.PHONY: all build programs run test quick-test sanitize-test fuzz-build fuzz-smoke windows-test web web-test package \
  package-test format format-check deps clean

all: build

deps:
	bash tools/install-deps.sh

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# Only the three programs, for a first run: the tests come with `make test`.
programs:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target fenwaimg fenwamake fenwadump

# Makes the sample network's intermediate file with fenwamake, converts it with
# fenwaimg in $(BUILD)/sample/, summarises the image with fenwadump and, when
# Graphviz is installed, draws it to $(BUILD)/sample/network.svg.
run: programs
	rm -rf $(BUILD)/sample && mkdir -p $(BUILD)/sample
	$(BUILD)/tools/fenwamake/fenwamake examples/sample-network.json $(BUILD)/sample/sample-network.dat
	@echo "cd $(BUILD)/sample && ../fenwaimg sample-network.dat   (its Shift_JIS console text shown in UTF-8)"
	@cd $(BUILD)/sample && ../fenwaimg sample-network.dat >console.txt; status=$$?; \
	  iconv -f CP932 -t UTF-8 console.txt; exit $$status
	$(BUILD)/tools/fenwadump/fenwadump --summary $(BUILD)/sample/fenwaimg.pdb
	@if command -v dot >/dev/null 2>&1; then \
	  $(BUILD)/tools/fenwadump/fenwadump --dot $(BUILD)/sample/fenwaimg.pdb >$(BUILD)/sample/network.dot && \
	  dot -Tsvg $(BUILD)/sample/network.dot -o $(BUILD)/sample/network.svg && \
	  echo "the sample network drawn: $(BUILD)/sample/network.svg"; \
	else echo "Graphviz (dot) is not installed: no picture (make deps installs it)"; fi

# The native suite only: the quick loop while developing.
quick-test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# but for two sweeps that the native suite runs: the largest input's round trips
# (the same code as the generated networks' on tables a hundred times larger)
# and the files made to cost much (their point is the memory limit, which the
# sanitizers' reserved address space rules out); under the sanitizers the two
# would take over two minutes of processor time.
SANITIZE_SKIPPED ?= ^LargestInput\.|CostlyFile
sanitize-test:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFENWA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -E '$(SANITIZE_SKIPPED)'

# The fuzzers (clang++, libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# and their seed corpora, made by the builder at every limit the converter accepts.
fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DFENWA_FUZZ=ON -DFENWA_TESTS=OFF -DFENWA_TOOLS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	$(FUZZ_BUILD)/tests/fuzz/fenwa_make_seeds $(FUZZ_BUILD)/seeds

# A bounded run of the three fuzzers, all at once (tests/fuzz/run-smoke.sh):
# the whole conversion, fenwadump's readers, fenwamake's reading of JSON, for
# FUZZ_SECONDS (45 by default: on two cores, the processor time of 30 seconds
# each in turn). New inputs collect in $(FUZZ_BUILD)/corpus/NAME.
fuzz-smoke: fuzz-build
	bash tests/fuzz/run-smoke.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Windows build (MinGW-w64) under Wine: its own file checks, the end-to-end
# and tool suites (the native test binaries of $(WIN_HOST_BUILD) running the
# Windows programs), the code page tables and the sample byte for byte against Linux.
windows-test: build
	WIN_BUILD=$(WIN_BUILD) WIN_HOST_BUILD=$(WIN_HOST_BUILD) JOBS=$(JOBS) bash tests/windows/run-windows-tests.sh

# The web page in $(WEB_BUILD)/page/: the library compiled to WebAssembly by
# Debian's Emscripten (which wants Debian's Node.js modules and Python).
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs EMSDK_PYTHON=/usr/bin/python3
web:
	$(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF -DFENWA_TOOLS=OFF
	$(EMSCRIPTEN_ENV) cmake --build $(WEB_BUILD) --target fenwa_page -j $(JOBS)

# The page in headless Chromium (Debian's chromium, chromium-driver and
# python3-selenium) against the native programs of $(BUILD); a screenshot of
# the sample drawn lands in $(WEB_BUILD)/screenshots/.
web-test: build web
	FENWA_BUILD=$(BUILD) FENWA_WEB_BUILD=$(WEB_BUILD) /usr/bin/python3 tests/web/test_page.py

# The Debian package from $(BUILD), the Windows zip from $(WIN_BUILD) and the
# web page's zip from $(WEB_BUILD), all in $(PACKAGE_DIR).
package: build web
	BUILD=$(BUILD) WIN_BUILD=$(WIN_BUILD) WEB_BUILD=$(WEB_BUILD) PACKAGE_DIR=$(PACKAGE_DIR) JOBS=$(JOBS) \
	  bash packaging/build-packages.sh

# Both packages as people install them: the .deb unpacked and its programs run
# on the sample, its manual pages rendered, lintian; the zip's programs under Wine.
package-test: package
	BUILD=$(BUILD) WIN_BUILD=$(WIN_BUILD) PACKAGE_DIR=$(PACKAGE_DIR) bash tests/package/run-package-tests.sh

# The tree follows .clang-format; `make format` applies it.
CLANG_FORMAT ?= clang-format
format:
	git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 $(CLANG_FORMAT) -i

format-check:
	git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 $(CLANG_FORMAT) --dry-run --Werror

test: format-check quick-test sanitize-test fuzz-smoke windows-test web-test package-test

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD) $(WIN_HOST_BUILD) $(WEB_BUILD)
