# SPDX-License-Identifier: MIT
# The settings document as the store loads and saves it.
korvane_add_fuzzer(settings_document_fuzz SettingsDocumentFuzz.cpp)
