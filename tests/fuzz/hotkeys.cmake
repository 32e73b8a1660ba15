# SPDX-License-Identifier: MIT
# Shortcut binding reader: any text gives either an acceptable binding that survives a write and
# re-read, or nothing.
korvane_add_fuzzer(hotkey_binding_reader_fuzz HotkeyBindingReaderFuzz.cpp)
