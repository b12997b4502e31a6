# The profiles face: the module run as each known host runs a filter (host_profiles.h), its
# output checked against the kernel's reference rows over Photoshop's white matting.
target_sources(test_host PRIVATE ${CMAKE_CURRENT_LIST_DIR}/host_profiles.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/host_profiles_table.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/profile_layers.cpp)
brightfade_add_kernel(test_host)
# bfrun's matting (drive/matting.h) and stand-in basic suite play Photoshop's part; the record
# starts as the fake host's (tests/common).
target_link_libraries(test_host PRIVATE bfrun_core brightfade_protocol fake_filter_host)

set(host_profiles photoshop paint_net gimp_pspi pspihost irfanview psfilterhost_16)
if(NOT BRIGHTFADE_ARM64)
  list(APPEND host_profiles paintshop_pro) # an x64-only host
endif()
foreach(profile IN LISTS host_profiles)
  add_test(NAME wine.host.${profile}
           COMMAND test_host profiles $<TARGET_FILE:Brightfade> ${profile})
  set_tests_properties(wine.host.${profile} PROPERTIES LABELS wine TIMEOUT 120)
endforeach()
