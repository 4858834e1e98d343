# make run      installs what is missing, builds, plays the show
# make test     installs what is missing, builds, runs every test but the desktop ones
# make desktop-test  the show on weston and GNOME's mutter, its sound through PipeWire
# make content  regenerates content/ (images, mesh, music) byte for byte
# make bench    start-up time, passes per second and memory under Xvfb
# make video    the whole show into build/nitrate.mp4 (1920x1080, 60/s, H.264 + AAC)
# make video-bench  the export's speed: render alone, encode alone, total
# make fuzz     fuzzes each content reader for FUZZ_SECONDS (default 300)
# make check    sanitizer builds and tests, the fault matrix, 30 s of each fuzzer
# make web      the show for web browsers into build-web/ (emscripten)
# make web-serve  serves build-web/ on 127.0.0.1 with the isolation headers
# make web-test   the web show in headless chromium beside the desktop capture
# make lint     clang-format's check and clang-tidy over src/ and tools/ (.clang-format, .clang-tidy)
#
# Warnings are shown but stop the build only with WERROR=ON (.ci/run sets it;
# make check's own sanitizer builds always use it).
BUILD ?= build
WERROR ?= OFF
JOBS ?= 2
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 300
FUZZ_TARGETS = obj_reader image_decoder vorbis_decoder whole_file
WEB_BUILD ?= build-web
WEB_PORT ?= 8131
# Debian's node-acorn lies where emscripten's optimizer finds it only by
# NODE_PATH when node itself is not Debian's.
export NODE_PATH ?= /usr/share/nodejs

.PHONY: all deps build run test desktop-test content bench video video-bench clean fuzz fuzz-build check \
	web-deps web web-serve web-test lint

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNITRATE_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	cd content && ../$(BUILD)/nitrate

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE desktop

desktop-test: build
	@scripts/install-deps.sh desktop
	cd $(BUILD) && ctest --output-on-failure -L desktop

content: build
	/usr/bin/python3 tools/make_images.py
	/usr/bin/python3 tools/make_mesh.py
	$(BUILD)/tools/music/make-music content/music/belvamarch.ogg

bench: build
	bench/run.sh $(BUILD)

video: build
	cd content && ../$(BUILD)/nitrate-capture --video ../$(BUILD)/nitrate.mp4

video-bench: build
	tools/capture/video_bench.sh $(BUILD)

fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DNITRATE_FUZZ=ON \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) $(addprefix --target nitrate-fuzz-,$(FUZZ_TARGETS))

fuzz: fuzz-build
	tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

check: build
	FUZZ_SECONDS=30 tests/sanitizers/check.sh $(JOBS)

# Configuring is enough: clang-tidy reads the compile commands, not the objects.
lint: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNITRATE_WERROR=$(WERROR) >/dev/null
	scripts/lint.sh $(BUILD) $(JOBS)

web-deps:
	@scripts/install-deps.sh web
	@JOBS=$(JOBS) scripts/web/build-decoders.sh $(WEB_BUILD)/deps

web: web-deps
	@emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WEB_BUILD) -j$(JOBS)

web-serve: web
	/usr/bin/python3 scripts/web/serve.py $(WEB_BUILD) --port $(WEB_PORT)

web-test: web build
	tests/web/run.sh $(WEB_BUILD) $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) build-asan build-tsan $(WEB_BUILD)
