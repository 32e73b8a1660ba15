// SPDX-License-Identifier: MIT
// Compiles the shared precompiled Qt header (see cmake/QtPrecompiledHeaders.cmake); nothing of its own.
