# The show for web browsers, built with emscripten (make web): the same
# sources as the desktop program but for the web platform backend
# (src/platform/web_*.cpp), linked with the content decoders built for
# WebAssembly by scripts/web/build-decoders.sh into NITRATE_WEB_DEPS. Writes
# nitrate.js, nitrate.wasm, nitrate.worker.js, and the content packed into
# nitrate.data with content.js.metadata, beside the page (src/platform/web/).
set(NITRATE_WEB_DEPS ${CMAKE_BINARY_DIR}/deps CACHE PATH "Decoders built for WebAssembly")

file(GLOB_RECURSE web_sources CONFIGURE_DEPENDS
  src/common/*.cpp src/resources/*.cpp src/audio/*.cpp src/demo/*.cpp src/app/*.cpp)
file(GLOB web_platform_sources CONFIGURE_DEPENDS src/platform/posix_*.cpp src/platform/web_*.cpp)
# A browser tab has no processes to guard against: the backend allows every
# copy. Its clock is the page's own (a capture steps it).
list(FILTER web_platform_sources EXCLUDE REGEX ".*/posix_(instance_guard|clock)\\.cpp$")

add_executable(nitrate ${web_sources} ${web_platform_sources})
target_include_directories(nitrate PRIVATE src ${NITRATE_WEB_DEPS}/include)
target_compile_options(nitrate PRIVATE -pthread)
# The three GL 1.1 calls whose desktop values WebGL 2 spells differently go
# through the backend's translations (web_gl.cpp).
target_compile_definitions(nitrate PRIVATE
  glGetString=NitrateWebGetString glTexImage2D=NitrateWebTexImage2D
  glTexParameteri=NitrateWebTexParameteri)
target_link_libraries(nitrate PRIVATE
  ${NITRATE_WEB_DEPS}/lib/libvorbisfile.a ${NITRATE_WEB_DEPS}/lib/libvorbis.a
  ${NITRATE_WEB_DEPS}/lib/libogg.a ${NITRATE_WEB_DEPS}/lib/libpng16.a
  ${NITRATE_WEB_DEPS}/lib/libjpeg.a ${NITRATE_WEB_DEPS}/lib/libz.a)

set(web_link_options
  -pthread
  # The two image decoders, the music refill thread and one to spare, made
  # before main so that the main thread never waits for a worker to load.
  -sPTHREAD_POOL_SIZE=4
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  # The main loop runs as on the desktop; each swap unwinds to the browser.
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  # Shared memory cannot grow cheaply: the decoded pictures and the show
  # fit in this.
  -sINITIAL_MEMORY=512MB
  -sMODULARIZE=1 -sEXPORT_NAME=NitrateShow -sINVOKE_RUN=0 -sEXIT_RUNTIME=0
  -sEXPORTED_RUNTIME_METHODS=[ccall] -sEXPORTED_FUNCTIONS=[_main]
  -sENVIRONMENT=web,worker
  -sFORCE_FILESYSTEM=1
  --pre-js ${CMAKE_BINARY_DIR}/content.js)
string(REPLACE ";" " " web_link_flags "${web_link_options}")
set_target_properties(nitrate PROPERTIES SUFFIX ".js" LINK_FLAGS "${web_link_flags}"
  LINK_DEPENDS "${CMAKE_BINARY_DIR}/content.js")

# The content is packed apart from the program: nitrate.data holds the files,
# content.js.metadata says where each lies in it, and content.js, linked into
# nitrate.js, fetches both before main. New content needs no new program (the
# packer leaves content.js untouched when its code is the same), and a copy of
# the content, damaged or not, can be served beside the same program.
file(GLOB_RECURSE web_content_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/content/*)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/nitrate.data ${CMAKE_BINARY_DIR}/content.js.metadata
         ${CMAKE_BINARY_DIR}/content.js
  COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
          python3 ${EMSCRIPTEN_ROOT_PATH}/tools/file_packager.py nitrate.data
          --preload ${CMAKE_SOURCE_DIR}/content@/ --from-emcc --export-name=NitrateShow
          --no-node --separate-metadata --js-output=content.js
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS ${web_content_files}
  COMMENT "Packing the content into nitrate.data")
add_custom_target(web_content DEPENDS ${CMAKE_BINARY_DIR}/nitrate.data
  ${CMAKE_BINARY_DIR}/content.js.metadata ${CMAKE_BINARY_DIR}/content.js)
add_dependencies(nitrate web_content)

# The page, the sound worklet and the start card's still.
set(web_page_files
  ${CMAKE_SOURCE_DIR}/src/platform/web/index.html
  ${CMAKE_SOURCE_DIR}/src/platform/web/page.js
  ${CMAKE_SOURCE_DIR}/src/platform/web/nitrate-audio.js)
add_custom_target(web_page ALL
  COMMAND ${CMAKE_COMMAND} -E copy ${web_page_files} ${CMAKE_BINARY_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/content/images/title.jpg
          ${CMAKE_BINARY_DIR}/still.jpg
  DEPENDS ${web_page_files})
