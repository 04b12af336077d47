/* Found as libcurl.so.4 before the system's: it needs a symbol no library
   defines, so loading it fails as loading a broken or absent libcurl does. */
extern int kvt_symbol_no_library_defines;
int kvt_curl_stub(void) { return kvt_symbol_no_library_defines; }
