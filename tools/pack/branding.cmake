# Branding of the stub before packing: PE image, resource section, icon
# file, version resource, settings file and the stub's identity for `list`.
add_library(trevan_branding STATIC
  ${CMAKE_CURRENT_LIST_DIR}/branding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/branding_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icon_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pe_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resource_tree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stub_identity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text16.cpp
  ${CMAKE_CURRENT_LIST_DIR}/version_info.cpp
)
trevan_target(trevan_branding)
if(WIN32)
  # nlohmann-json is header-only; as with CLI11, the cross compiler gets its
  # headers alone.
  set(json_include ${CMAKE_CURRENT_BINARY_DIR}/json-include)
  file(MAKE_DIRECTORY ${json_include})
  file(CREATE_LINK /usr/include/nlohmann ${json_include}/nlohmann SYMBOLIC)
  target_include_directories(trevan_branding SYSTEM PRIVATE ${json_include})
else()
  find_package(nlohmann_json 3 CONFIG REQUIRED)
  target_link_libraries(trevan_branding PRIVATE nlohmann_json::nlohmann_json)
endif()
target_link_libraries(trevan_pack_lib PUBLIC trevan_branding)

target_sources(trevan-pack PRIVATE ${CMAKE_CURRENT_LIST_DIR}/branding_options.cpp)
target_compile_definitions(trevan-pack PRIVATE TREVAN_VERSION="${PROJECT_VERSION}")
