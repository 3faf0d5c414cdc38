# Sourced by the build scripts: where ccache is installed it compiles, so that a second build
# folder or a rebuild after a clean clone reuses what was compiled (CMake takes the launcher
# from the environment when it first configures a folder).
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
