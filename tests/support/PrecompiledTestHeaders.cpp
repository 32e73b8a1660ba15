// SPDX-License-Identifier: MIT
// Compiles the test programs' precompiled header (see tests/CMakeLists.txt); nothing of its own.
