# One interface target carries the compile settings every target shares.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_AUTOMOC ON)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

add_library(project_settings INTERFACE)
target_compile_features(project_settings INTERFACE cxx_std_20)
target_compile_options(project_settings INTERFACE -Wall -Wextra)
target_compile_definitions(project_settings INTERFACE QT_NO_CAST_FROM_ASCII)

if(WEIHE_SANITIZE)
  target_compile_options(project_settings INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(project_settings INTERFACE -fsanitize=address,undefined)
endif()
