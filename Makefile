# The two commands a new user needs: `make run` and `make test`.
# Both install whatever Debian packages are missing first.

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local

.PHONY: all deps build build-asan build-fuzz run test test-native test-asan test-fuzz bench clean format \
        build-windows test-windows install uninstall package package-windows test-package \
        web serve-web test-web test-web-render test-web-browser test-web-studio

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null
	@cmake --build build -j $(JOBS)

build-asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DMARROWTONE_SANITIZE=ON \
	    -DMARROWTONE_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)

build-fuzz: deps
	@cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DMARROWTONE_FUZZ=ON -DMARROWTONE_BENCH=OFF -DMARROWTONE_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target mml_fuzzer

# The player in its window (it reads no command line). Without a display it says so in one
# line and points to build/marrowtone-render.
run: build
	@build/marrowtone

test: test-native test-asan test-fuzz test-windows test-package test-web
	@echo "All tests passed."

test-native: build
	@cd build && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ctest --output-on-failure -j $(JOBS)

test-fuzz: build-fuzz
	@scripts/run-fuzzer.sh build-fuzz/fuzz/mml_fuzzer $(FUZZ_SECONDS)

# The window framework and the controls as 32-bit Windows programs (MinGW-w64), and their
# suites under Wine on a private virtual display.
build-windows: deps
	@scripts/windows-tests.sh --build-only

test-windows: deps
	@scripts/windows-tests.sh

# Installs into PREFIX (default /usr/local); `make uninstall` removes exactly those files.
install: build
	@cmake --install build --prefix "$(PREFIX)"

uninstall:
	@scripts/uninstall.sh build/install_manifest.txt

# build/marrowtone_VERSION_ARCH.deb, its dependencies computed from the programs.
package: build
	@cd build && cpack -G DEB >/dev/null && ls "$$PWD"/marrowtone_*.deb

# build-windows/marrowtone-VERSION-win32.zip and build-windows/marrowtone-VERSION-setup.exe
package-windows: deps
	@scripts/package-windows.sh

# The installed tree, the Debian package and the Windows archive, checked.
test-package: build package-windows
	@scripts/test-package.sh

# Debian installs Emscripten's node modules (acorn) where Debian's node looks; another
# node (e.g. NodeSource's) is shown the way.
export NODE_PATH := $(NODE_PATH)$(if $(NODE_PATH),:)/usr/share/nodejs:/usr/lib/nodejs
WEB_JOBS ?= $(shell n=$$(nproc 2>/dev/null || echo 2); [ $$n -gt 2 ] && n=2; echo $$n)

# The site in build-web/site/: the studio (index.html, its bundled editor, its engine module
# and service worker), the player page (player.html, marrowtone.js, marrowtone.wasm) and the
# examples, with Debian's Emscripten and the system libraries it ships compiled. The editor's
# packages come from npm, installed from the studio's lockfile.
web/studio/node_modules/.package-lock.json: web/studio/package-lock.json
	@cd web/studio && npm ci --no-audit --no-fund --silent

web: deps web/studio/node_modules/.package-lock.json
	@emcmake cmake -S . -B build-web -DMARROWTONE_WEB=ON \
	    -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-web -j $(WEB_JOBS)

serve-web: web
	@echo "Marrowtone at http://127.0.0.1:8080/ (the studio; the player is player.html; Ctrl+C stops the server)"
	@python3 -m http.server 8080 --bind 127.0.0.1 --directory build-web/site

# The page's renderer against marrowtone-render, byte for byte, in node.
test-web-render: build web
	@node tests/web/render_test.js build-web/site/marrowtone.js build/marrowtone-render examples

# The page in Debian's chromium, headless, driven by puppeteer-core from npm (installed here
# from the lockfile; the browser is the system's, never downloaded).
tests/web/node_modules/.package-lock.json: tests/web/package-lock.json
	@cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --silent

test-web-browser: build web tests/web/node_modules/.package-lock.json
	@node tests/web/browser_test.js build-web/site build/marrowtone-render examples

# The studio in the same browser: diagnostics, playing, live edits, solo, sharing, the WAV
# export, offline visits and a page that stays responsive under a huge score; then its time
# (pause, seek, loop, the track view); then the work it keeps: drafts, files as their own
# bytes, Save, refused links, axe-core. Every suite runs even when one before it failed.
test-web-studio: build web tests/web/node_modules/.package-lock.json
	@status=0; for suite in studio studio_time studio_work; do \
	    node tests/web/$${suite}_test.js build-web/site build/marrowtone-render || status=1; done; exit $$status

test-web: test-web-render test-web-browser test-web-studio

bench: build
	@build/bench/sound_bench
	@build/bench/check_bench
	@build/bench/process_bench
	@if [ -x build/bench/message_wake_bench ]; then \
	    sh tests/desktop/with_display.sh build/bench/message_wake_bench; fi

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz build-windows build-windows64 build-web
