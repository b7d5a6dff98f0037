# Libraries come from Debian's packages (scripts/setup-deps.sh installs them); nothing is
# downloaded at build time.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
pkg_check_modules(URIPARSER REQUIRED IMPORTED_TARGET liburiparser)
pkg_check_modules(UUID REQUIRED IMPORTED_TARGET uuid)

if(TERVANE_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(TERVANE_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
# Qt is found here, for the whole tree, because tervane-now (made in src/cli) links the
# application from src/app and Qt's targets must be visible where it is linked.
if(TERVANE_WITH_DESKTOP)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
endif()
