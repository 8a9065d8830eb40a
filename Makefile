# Quorval: `make run` starts the program, `make test` runs the whole test suite.
# Both first install what is missing from Debian's packages.

BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR    ?= build-bench
FUZZ_DIR     ?= build-fuzz
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX       ?= /usr/local
FUZZ_SECONDS ?= 60

# libexpat1-dev: the conformant XML parser of the data files.
BASE_PACKAGES  = cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libexpat1-dev \
                 fonts-dejavu-core
# poppler-utils: pdftotext, pdfinfo and pdftoppm read back the records the tests write.
# xdg-utils: xdg-mime names the application of data files in the installation test.
TEST_PACKAGES  = $(BASE_PACKAGES) desktop-file-utils shared-mime-info dpkg-dev file poppler-utils \
                 xdg-utils
# python3-numpy, python3-lxml: the report script that the report tool's speed is measured against.
BENCH_PACKAGES = $(BASE_PACKAGES) libbenchmark-dev python3-numpy python3-lxml
FUZZ_PACKAGES  = $(BASE_PACKAGES) clang libclang-rt-14-dev
# lintian: the package is checked against Debian's rules (.ci/run).
PACKAGE_PACKAGES = $(BASE_PACKAGES) dpkg-dev file lintian

.PHONY: all deps run test test-sanitize bench fuzz install package clean

all: $(BUILD_DIR)/Makefile
	cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@sh tools/install-deps.sh $(BASE_PACKAGES)

$(BUILD_DIR)/Makefile:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "error: no display: neither DISPLAY nor WAYLAND_DISPLAY is set, so Quorval cannot open its window." >&2; \
	    echo "       Run it from a desktop session (or under Xvfb: xvfb-run make run)." >&2; \
	    exit 1; \
	fi
	@sh tools/install-deps.sh $(BASE_PACKAGES)
	@$(MAKE) --no-print-directory all
	./$(BUILD_DIR)/quorval

test:
	@sh tools/install-deps.sh $(TEST_PACKAGES)
	@$(MAKE) --no-print-directory all
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-sanitize:
	@sh tools/install-deps.sh $(TEST_PACKAGES)
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUORVAL_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ctest --output-on-failure -j $(JOBS)

bench:
	@sh tools/install-deps.sh $(BENCH_PACKAGES)
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DQUORVAL_BUILD_BENCHMARKS=ON
	cmake --build $(BENCH_DIR) -j $(JOBS) --target benchmarks
	@echo "Benchmarks built in $(BENCH_DIR)/benchmarks/; run them one by one (QT_QPA_PLATFORM=offscreen)."

# libFuzzer runs of the XML layer, of the data-file reader, of its byte reader against its
# conformant parser and of the paste and import parser (FUZZ_SECONDS each);
# crashing inputs are left in $(FUZZ_DIR)/.
fuzz:
	@sh tools/install-deps.sh $(FUZZ_PACKAGES)
	cmake -S fuzz -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/xmlfile_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus fuzz/corpus
	mkdir -p $(FUZZ_DIR)/corpus_datafile
	$(FUZZ_DIR)/datafile_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -artifact_prefix=$(FUZZ_DIR)/datafile- $(FUZZ_DIR)/corpus_datafile tests/data/datafile fuzz/corpus
	mkdir -p $(FUZZ_DIR)/corpus_differential
	$(FUZZ_DIR)/datafile_differential_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -dict=fuzz/datafile.dict -artifact_prefix=$(FUZZ_DIR)/differential- $(FUZZ_DIR)/corpus_differential \
	    examples tests/data/datafile tests/data/xmlfile fuzz/corpus fuzz/corpus_pieces
	mkdir -p $(FUZZ_DIR)/corpus_entrytext
	$(FUZZ_DIR)/entrytext_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -dict=fuzz/entrytext.dict -artifact_prefix=$(FUZZ_DIR)/entrytext- \
	    $(FUZZ_DIR)/corpus_entrytext fuzz/corpus_entrytext

install:
	@sh tools/install-deps.sh $(BASE_PACKAGES)
	@$(MAKE) --no-print-directory all
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	@# File managers read the compiled MIME database and the desktop-file cache, not the sources.
	@sh tools/update-desktop-databases.sh $(PREFIX)

package:
	@sh tools/install-deps.sh $(PACKAGE_PACKAGES)
	@$(MAKE) --no-print-directory all
	cd $(BUILD_DIR) && cpack -G DEB
	@ls -1 $(BUILD_DIR)/*.deb

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR) $(FUZZ_DIR)
