# Two entry points: `make demo` reads the bundled sample, `make test` runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all demo test configure clean package

all: configure
	cmake --build $(BUILD) -j $(JOBS)

configure:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target strixa
	./$(BUILD)/strixa /P samples/sample.bmp

test: configure
	cmake --build $(BUILD) -j $(JOBS) --target strixa_tests strixa_batch_tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD)

# The Debian package, configured for /usr in its own folder: $(PACKAGE_BUILD)/strixa_*.deb. Only
# what it holds is built: cpack would otherwise build every test first.
PACKAGE_BUILD ?= build-package
package:
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_INSTALL_PREFIX=/usr -DSTRIXA_BENCHMARKS=OFF \
	  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target strixa_installables
	cd $(PACKAGE_BUILD) && cpack -G DEB

# Strixa.exe and the test program for Windows, cross-built with mingw-w64 into build-win/;
# tools/windows-check also runs them under Wine.
.PHONY: windows
windows:
	tools/windows-check --build
