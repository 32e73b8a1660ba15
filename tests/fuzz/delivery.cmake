# SPDX-License-Identifier: MIT
# The user's paste-key overrides.
korvane_add_fuzzer(paste_keys_fuzz PasteKeysFuzz.cpp)
