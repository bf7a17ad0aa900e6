# The language server and the grammar with the editors' own programs, on the
# build machine: Neovim's built-in client (tests/orvix_lsp_neovim.lua) and
# the tokenizer Visual Studio Code uses (tests/grammar/). A test whose tool
# is missing says "skipped:" and why, and CTest reports it skipped.

# Neovim, headless, with a home of its own in the build tree (its log and
# state), so that nothing outside the build is read or written.
find_program(ORVIX_NVIM nvim)
set(neovim_home ${CMAKE_CURRENT_BINARY_DIR}/neovim)
if(ORVIX_NVIM)
  add_test(NAME orvix_lsp_neovim COMMAND ${ORVIX_NVIM} --headless --clean
    -c "luafile ${CMAKE_CURRENT_SOURCE_DIR}/orvix_lsp_neovim.lua")
else()
  add_test(NAME orvix_lsp_neovim COMMAND ${CMAKE_COMMAND} -E echo
    "skipped: nvim not found (on Debian: apt-get install neovim)")
endif()
set_tests_properties(orvix_lsp_neovim PROPERTIES
  TIMEOUT ${ORVIX_TEST_TIMEOUT}
  SKIP_REGULAR_EXPRESSION "skipped:"
  ENVIRONMENT "ORVIX_BIN=$<TARGET_FILE:orvix>;HOME=${neovim_home};XDG_CONFIG_HOME=${neovim_home}/config;XDG_DATA_HOME=${neovim_home}/data;XDG_STATE_HOME=${neovim_home}/state;XDG_CACHE_HOME=${neovim_home}/cache")

# The grammar: vscode-textmate and vscode-oniguruma, as the lock file pins
# them, installed into the build tree when the test runs (nothing from npm
# is needed to build), then the rows of grammar.test.js under node.
find_program(ORVIX_NODE node)
find_program(ORVIX_NPM npm)
set(grammar_dir ${CMAKE_CURRENT_BINARY_DIR}/grammar)
configure_file(grammar/package.json ${grammar_dir}/package.json COPYONLY)
configure_file(grammar/package-lock.json ${grammar_dir}/package-lock.json COPYONLY)
if(ORVIX_NODE AND ORVIX_NPM)
  add_test(NAME grammar.modules COMMAND ${ORVIX_NPM} ci --ignore-scripts --no-audit --no-fund
    WORKING_DIRECTORY ${grammar_dir})
  set_tests_properties(grammar.modules PROPERTIES FIXTURES_SETUP grammar_modules TIMEOUT 300)
  add_test(NAME grammar.tokens COMMAND ${ORVIX_NODE} --test
    ${CMAKE_CURRENT_SOURCE_DIR}/grammar/grammar.test.js)
  set_tests_properties(grammar.tokens PROPERTIES
    FIXTURES_REQUIRED grammar_modules
    TIMEOUT ${ORVIX_TEST_TIMEOUT}
    ENVIRONMENT "NODE_PATH=${grammar_dir}/node_modules;ORVIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
else()
  add_test(NAME grammar.tokens COMMAND ${CMAKE_COMMAND} -E echo
    "skipped: node and npm not found (on Debian: apt-get install nodejs npm)")
  set_tests_properties(grammar.tokens PROPERTIES SKIP_REGULAR_EXPRESSION "skipped:")
endif()
