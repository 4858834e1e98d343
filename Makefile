# make run      installs what is missing, builds, plays the show
# make test     installs what is missing, builds, runs every test
# make content  regenerates content/ (images, mesh, music) byte for byte
# make bench    start-up time, passes per second and memory under Xvfb
BUILD ?= build
JOBS ?= 2

.PHONY: all deps build run test content bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	cd content && ../$(BUILD)/nitrate

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

content: build
	/usr/bin/python3 tools/make_images.py
	/usr/bin/python3 tools/make_mesh.py
	$(BUILD)/tools/music/make-music content/music/belvamarch.ogg

bench: build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
