# Two entry points: `make run` and `make test`. Everything else is CMake.
EDITION ?= full
BUILD   ?= build
ASAN    ?= build-asan
TSAN    ?= build-tsan
# The threaded components: dispatcher, worker thread, transfers, download runner, extractor
# process, logger, the encoder's tasks, the conversion run, job building, the run's interruption and
# the transcoding run itself (its encoders on worker threads).
TSAN_TESTS   = app_tests download_tests engine_tests convert_tests
TSAN_FILTER  = Dispatcher|WinThread|WinHTTP|DownloadRunner|ExtractorProcess|Logger|EncoderTest|ConversionRunTest|TranscodeJobTest|RunInterrupt|TranscodeRun|Run(Pipeline|Hooks|Join|Timing|Diagnostics|Subtitle|Rotation|Metadata)
JOBS    ?= $(shell nproc)

.PHONY: setup configure build run test test-asan test-tsan screenshots package install clean

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDITION=$(EDITION) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/run && ./mediawizard

# The Debian package of the chosen edition: $(BUILD)/mediawizard_<version>_<arch>.deb.
package: build
	cmake --build $(BUILD) --target deb

# Into PREFIX (default /usr/local); DESTDIR works as usual.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Every page of every edition, offscreen, into $(BUILD)/screenshots/<edition>/; refreshes docs/screenshot.png.
screenshots: build
	cmake --build $(BUILD) --target screenshots

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory test-tsan

# Core tests again under AddressSanitizer and UndefinedBehaviorSanitizer (no GUI).
test-asan: setup
	@cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMW_SANITIZE=ON -DMW_GUI=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)

# The threaded components' tests again under ThreadSanitizer (no GUI; only their programs are built).
test-tsan: setup
	@cmake -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMW_TSAN=ON -DMW_GUI=OFF >/dev/null
	@cmake --build $(TSAN) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS) -R '$(TSAN_FILTER)'

clean:
	rm -rf $(BUILD) $(ASAN) $(TSAN)
