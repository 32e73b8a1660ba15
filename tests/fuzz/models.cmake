# SPDX-License-Identifier: MIT
# The model catalogue file.
korvane_add_fuzzer(model_catalogue_fuzz ModelCatalogueFuzz.cpp)
target_link_libraries(model_catalogue_fuzz PRIVATE korvane_models)
