# SPDX-License-Identifier: Apache-2.0
# Two entry points: `make demo` reads the bundled sample, `make test` runs every test. Both build
# the two programs, strixa and strixa-batch; warnings are errors here (STRIXA_WERROR).
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# cmake --build runs make again below this one: no "Entering directory" lines from it.
MAKEFLAGS += --no-print-directory
# A pipe fails when its first command does (ctest below).
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c

.PHONY: all demo test configure clean package

all: configure
	cmake --build $(BUILD) -j $(JOBS)

configure:
	cmake -S . -B $(BUILD) -DSTRIXA_WERROR=ON $(CMAKE_FLAGS) >/dev/null

demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target strixa strixa_batch
	./$(BUILD)/strixa /P samples/sample.bmp

# Only failures (with their output), skips and the summary are shown; each skipped test gets one
# line saying why.
test: configure
	cmake --build $(BUILD) -j $(JOBS) --target strixa strixa_batch strixa_tests strixa_batch_tests \
	  strixa_python strixa_draw_pages
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) | grep -Ev '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+:.* Passed )'
	@tools/skipped-tests $(BUILD)

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD)

# The Debian packages, configured for /usr in their own folder ($(PACKAGE_BUILD)/*.deb) as a
# Release build with Debian's optimisation and hardening flags (dpkg-buildflags: fortify, stack
# protector, relro, bindnow). Warnings do not stop it (PACKAGE_FLAGS=-DSTRIXA_WERROR=ON makes
# them). Only what the packages hold is built: cpack would otherwise build every test first.
PACKAGE_BUILD ?= build-package
PACKAGE_FLAGS ?=
package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
package:
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DSTRIXA_BENCHMARKS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DSTRIXA_WERROR=OFF \
	  -DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CFLAGS)" \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" $(PACKAGE_FLAGS) >/dev/null
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target strixa_installables
	cd $(PACKAGE_BUILD) && cpack -G DEB

# Strixa.exe and the test program for Windows, cross-built with mingw-w64 into build-win/;
# tools/windows-check also runs them under Wine.
.PHONY: windows
windows:
	tools/windows-check --build
