# make test   sets up the machine, builds every preset and runs every test tier
#             (QELT_SKIP_WIN32=1: without running the 32-bit DLLs, on a machine that cannot)
# make demo   sets up, builds the 64-bit proxy and runs the demo GL client under wine64, draws the
#             proxy's compressed textures with Mesa and saves the frame, then shows the TV-out
#             page in a property sheet and saves its screenshot
# make readme-picture  runs the demo and puts a small copy of its rendered frame in docs/
# make bench  sets up, builds the encoder benchmark and runs it on the image corpus
# make package sets up, builds the 32-bit and 64-bit DLLs and packs them with the .reg files and
#             the README into build/package/qelt-driver-package.zip
# make fuzz   sets up, builds the fuzz targets and runs each for FUZZ_SECONDS (default 600)
SHELL := /bin/bash
JOBS ?= 2
PRESETS := win32 win64 host host-tsan host32 fuzz

.PHONY: all setup build test demo readme-picture bench package fuzz

all: build

setup:
	@bash scripts/bootstrap.sh
	@if [ "$${QELT_SKIP_WIN32:-}" != 1 ]; then bash scripts/setup_wine32.sh build/wine32-runtime; fi

build: setup
	@for preset in $(PRESETS); do \
	  echo "== build $$preset =="; \
	  cmake --preset $$preset >/dev/null && cmake --build --preset $$preset -j $(JOBS) || exit 1; \
	done

test: build
	@bash scripts/run_tiers.sh

demo:
	@bash scripts/bootstrap.sh demo
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j $(JOBS) --target gl_demo gl_render qeltogl standin_icd \
	  passthrough_icd display_properties qeltvbtv
	@bash scripts/demo.sh

readme-picture: demo
	@mkdir -p docs
	@convert build/win64/demo/out/render_frame.png -resize 50% -strip docs/render_frame.png
	@echo "docs/render_frame.png: $$(identify -format '%w x %h' docs/render_frame.png)"

bench:
	@bash scripts/bootstrap.sh bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS) --target dxtbench
	@build/bench/bin/dxtbench $$(bash scripts/fetch_bench_corpus.sh)

package:
	@bash scripts/bootstrap.sh
	@bash scripts/package.sh

fuzz:
	@bash scripts/bootstrap.sh
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@JOBS=$(JOBS) bash scripts/run_fuzz.sh
