# Project-wide compile settings applied to every target of ours through etb_settings().
add_library(etb_settings INTERFACE)
target_compile_options(etb_settings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
target_compile_definitions(etb_settings INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                                  QT_NO_KEYWORDS)
if(ETB_WERROR)
  target_compile_options(etb_settings INTERFACE -Werror)
endif()
if(ETB_SANITIZE)
  target_compile_options(etb_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                -fno-sanitize-recover=undefined)
  target_link_options(etb_settings INTERFACE -fsanitize=address,undefined)
endif()
