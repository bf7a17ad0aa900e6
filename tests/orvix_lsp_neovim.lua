-- The language server with Neovim's own client: Neovim (0.7 or later),
-- headless, starts `orvix --lsp` ($ORVIX_BIN), opens each row's document as a
-- file and asks what the row asks, as an editor does when a student types,
-- hovers, jumps, renames, completes, formats or takes a quick fix. The
-- diagnostics must be those `orvix -W` prints for the same file, at the
-- row's ranges, and must follow a change within a second.
--
-- Run by CTest as
--   nvim --headless --clean -c 'luafile tests/orvix_lsp_neovim.lua'
-- It prints one line per row and "N passed, N failed", and ends Neovim with
-- status 0 when every row passed and the server ended with status 0.

local orvix = os.getenv('ORVIX_BIN')

-- A program as a student writes it.
local PROGRAM = {
  '; count down from five, then wait',
  'start:  load    5       ; five',
  'loop:   dec',
  '        jc      done',
  '        j       loop    ; again',
  'done:   outb',
  '        j       done',
}

-- PROGRAM with its lines replaced: `changes` maps a 1-based line number to
-- its new text, or to false to drop the line.
local function with(changes)
  local lines = {}
  for i, line in ipairs(PROGRAM) do
    local change = changes[i]
    if change == nil then table.insert(lines, line) elseif change then table.insert(lines, change) end
  end
  for i, line in pairs(changes) do
    if i > #PROGRAM then table.insert(lines, line) end
  end
  return lines
end

-- Ranges are Neovim's: 0-based lines, byte columns {line, col, end_col};
-- the server sends UTF-16 columns (the 'ä' below is two bytes, one unit).
local rows = {
  {name = 'diagnostics after open',
   text = {'; mistakes on purpose',
           'stärke: load 300        ; too wide for 8 bits',
           '        add 5, 7        ; text after the operand',
           '        inc 5',
           '        j nowhere',
           '        sto 3'},
   ranges = {{1, 14, 17}, {2, 15, 16}, {3, 12, 13}, {4, 10, 17}}},
  {name = 'diagnostics after a change', text = PROGRAM,
   change = {4, '        jc      dnoe'},
   ranges = {{3, 16, 20}}},
  -- An edit within a line: the server gets its range in UTF-16 units.
  {name = 'diagnostics after an edit after a non-ASCII label',
   text = {'stärke: load 300 ; ä', '        j stärke'},
   edit = {0, 14, 17, '3000'},
   ranges = {{0, 14, 18}}},
  {name = 'diagnostics after a change that empties the program', text = PROGRAM,
   change = {1, '; nothing yet', #PROGRAM},
   ranges = {{0, 0, 13}}},
  {name = 'hover on a statement', text = PROGRAM, hover = {1, 16},
   expect = 'address 0 (0x00): word `1000000101` (0x205)\n\n' ..
            '`10` fixed bits of `load`, `00000101` data field (5)'},
  {name = 'hover on a label', text = PROGRAM, hover = {4, 18},
   expect = 'label `loop`: address 1 (0x01), defined on line 3\n\n```\nloop:   dec\n```'},
  {name = 'hover on a label defined twice', text = with({[7] = 'loop:   j       done'}),
   hover = {2, 1},
   expect = 'label `loop`: address 1 (0x01), defined on line 3\n\n```\nloop:   dec\n```\n\n' ..
            'defined again on line 7, which jumps do not reach'},
  {name = 'hover on a mnemonic', text = PROGRAM, hover = {3, 9},
   expect = '`jc`: word `00100aaaaa`, fixed bits `00100`, then the 5-bit jump address (a): ' ..
            'a label, or 0 to 31'},
  {name = 'definition of a label', text = PROGRAM, definition = {4, 17}, expect = {{2, 0}}},
  {name = 'definition of a label defined twice', text = with({[7] = 'loop:   j       done'}),
   definition = {4, 17}, expect = {{2, 0}}},
  {name = 'references of a label', text = PROGRAM, references = {5, 1},
   expect = {{3, 16}, {5, 0}, {6, 16}}},
  {name = 'rename', text = PROGRAM, rename = {2, 2, 'again'},
   expect = with({[3] = 'again:   dec', [5] = '        j       again    ; again'})},
  {name = 'rename refused: already a label', text = PROGRAM, rename = {2, 2, 'start'},
   expect = "'start' is already a label (line 2)"},
  {name = 'rename refused: a label jumped to before its definition', text = PROGRAM,
   rename = {2, 2, 'done'}, expect = "'done' is already a label (line 6)"},
  {name = 'rename refused: the name of a missing label', text = with({[8] = '        j nowhere'}),
   rename = {2, 2, 'nowhere'},
   expect = "'nowhere' is already named by the operand on line 8: it would then reach the " ..
            'renamed label'},
  {name = 'rename refused: a blank', text = PROGRAM, rename = {2, 2, 'a b'},
   expect = "'a b' cannot be a label: it holds a blank"},
  {name = 'rename refused: a number', text = PROGRAM, rename = {2, 2, '-12'},
   expect = "'-12' cannot be a label: it reads as a number (digits and '-' alone)"},
  {name = 'completion after j', text = with({[8] = '        j '}), completion = {7, 10},
   expect = {'start', 'loop', 'done'}},
  {name = 'completion of a mnemonic', text = with({[8] = '        '}), completion = {7, 8},
   expect = {'load', 'lea', 'sto', 'j', 'jmq', 'jc', 'jo', 'add', 'and', 'outb', 'outbpb',
             'sdpcpu', 'inb', 'wdpcpu', 'inc', 'dec', 'lsh', 'rsh', 'inv', 'swap', 'leamq',
             '.word'},
   detail = {load = '10dddddddd', j = '00010aaaaa', inc = '1100100000'}},
  {name = 'document symbols', text = with({[7] = 'loop:   j       done'}), symbols = true,
   expect = {'start address 0 (0x00) 1', 'loop address 1 (0x01) 2', 'done address 4 (0x04) 5',
             'loop address 5 (0x05), not reached by jumps 6'}},
  {name = 'formatting', text = {'; count down from five, then wait',
                                'start: load 5 ; five',
                                'loop: dec',
                                '  jc,done',
                                '\tj   loop   ;again   ',
                                'done:   outb',
                                ' j done'},
   format = true,
   expect = {'; count down from five, then wait',
             'start:  load    5       ; five',
             'loop:   dec',
             '        jc      done',
             '        j       loop    ;again',
             'done:   outb',
             '        j       done'}},
  {name = 'quick fix', text = with({[3] = 'loop:   dce', [7] = '        j       doen'}),
   quickfix = {2, 6},
   titles = {"Change 'dce' to 'dec'"},
   expect = with({[7] = '        j       doen'})},
}

local dir = vim.fn.tempname()
vim.fn.mkdir(dir, 'p')
local published = {}  -- uri -> {version, at}: the last diagnostics the server published
local server_status = nil
local client = nil

-- The diagnostics `orvix -W` prints for `path`: "LINE SEVERITY: TEXT", LINE
-- 1 for a problem of no line, as the server places it in an empty program.
local function console_diagnostics(path)
  local found = {}
  for _, line in ipairs(vim.fn.systemlist({orvix, '-W', path})) do
    if line:sub(1, #path + 1) == path .. ':' then
      local rest = line:sub(#path + 2)
      local number, severity, text = rest:match('^(%d+): (%a+): (.*)$')
      if not number then
        number, severity, text = '1', rest:match('^ (%a+): (.*)$')
      end
      table.insert(found, number .. ' ' .. severity .. ': ' .. text)
    end
  end
  table.sort(found)
  return found
end

-- Neovim's diagnostics of `buf`, as console_diagnostics() shows them, and
-- their ranges.
local function editor_diagnostics(buf)
  local found, ranges = {}, {}
  local diagnostics = vim.diagnostic.get(buf)
  table.sort(diagnostics, function(a, b)
    return a.lnum < b.lnum or (a.lnum == b.lnum and a.col < b.col)
  end)
  for _, d in ipairs(diagnostics) do
    local severity = d.severity == vim.diagnostic.severity.ERROR and 'error' or 'warning'
    table.insert(found, (d.lnum + 1) .. ' ' .. severity .. ': ' .. d.message)
    table.insert(ranges, {d.lnum, d.col, d.end_col})
  end
  table.sort(found)
  return found, ranges
end

-- Waits until the server has published the diagnostics of `buf`'s version.
local function wait_published(buf)
  local uri = vim.uri_from_bufnr(buf)
  return vim.wait(5000, function()
    local p = published[uri]
    return p ~= nil and p.version == vim.lsp.util.buf_versions[buf]
  end, 5)
end

-- The one answer of the server to `method`, or nil and its error.
local function ask(buf, method, params)
  local answers = vim.lsp.buf_request_sync(buf, method, params, 5000)
  local answer = answers and answers[client]
  if not answer then return nil, 'no answer to ' .. method end
  -- Neovim 0.7 calls the error "error", later ones "err".
  return answer.result, answer.error or answer.err
end

local function position(buf, at)
  return {textDocument = {uri = vim.uri_from_bufnr(buf)}, position = {line = at[1], character = at[2]}}
end

-- The image orvix writes for the file `path`, in `format`.
local function image_of(path, format)
  return vim.fn.system({orvix, '-f', format, '-o', '-', path})
end

local function lines_of(buf) return vim.api.nvim_buf_get_lines(buf, 0, -1, false) end

local function same(a, b) return vim.deep_equal(a, b) end

local function show(value) return vim.inspect(value):gsub('\n%s*', ' ') end

local latencies = {}

-- Runs `row` on the open buffer `buf` of file `path`; returns nil when it
-- passes, else what went wrong.
local function check(row, buf, path)
  local function diagnostics_as_console()
    vim.cmd('silent write')
    local console = console_diagnostics(path)
    local editor, ranges = editor_diagnostics(buf)
    if not same(console, editor) then
      return 'diagnostics ' .. show(editor) .. ', orvix -W says ' .. show(console)
    end
    if not same(ranges, row.ranges) then return 'ranges ' .. show(ranges) end
  end

  if row.change or row.edit then
    local before = published[vim.uri_from_bufnr(buf)].at
    local start = vim.loop.hrtime()
    if row.change then
      local first, text, last = row.change[1], row.change[2], row.change[3] or row.change[1]
      vim.api.nvim_buf_set_lines(buf, first - 1, last, false, {text})
    else
      local line, col, end_col, text = unpack(row.edit)
      vim.api.nvim_buf_set_text(buf, line, col, line, end_col, {text})
    end
    if not wait_published(buf) then return 'no diagnostics after the change' end
    local ms = (published[vim.uri_from_bufnr(buf)].at - start) / 1e6
    table.insert(latencies, ms)
    assert(published[vim.uri_from_bufnr(buf)].at > before)
    if ms >= 1000 then return string.format('diagnostics %.0f ms after the change', ms) end
    return diagnostics_as_console()
  end
  if row.ranges then return diagnostics_as_console() end

  if row.hover then
    local result, err = ask(buf, 'textDocument/hover', position(buf, row.hover))
    if err or not result then return 'hover: ' .. show(err) end
    if result.contents.value ~= row.expect then return 'hover ' .. show(result.contents.value) end
  elseif row.definition or row.references then
    local params = position(buf, row.definition or row.references)
    params.context = {includeDeclaration = true}
    local result, err = ask(buf, row.definition and 'textDocument/definition' or
                                 'textDocument/references', params)
    if err or not result then return 'locations: ' .. show(err) end
    if result.uri then result = {result} end
    local found = {}
    for _, l in ipairs(result) do
      table.insert(found, {l.range.start.line, l.range.start.character})
    end
    if not same(found, row.expect) then return 'locations ' .. show(found) end
  elseif row.rename then
    local params = position(buf, row.rename)
    params.newName = row.rename[3]
    -- The words stay; the image's comments name the new label.
    local image = image_of(path, 'coe')
    local result, err = ask(buf, 'textDocument/rename', params)
    if type(row.expect) == 'string' then
      if result or not err then return 'rename not refused: ' .. show(result) end
      if err.message ~= row.expect then return 'refused with ' .. show(err.message) end
      return nil
    end
    if err then return 'rename: ' .. show(err) end
    vim.lsp.util.apply_workspace_edit(result, 'utf-16')
    if not same(lines_of(buf), row.expect) then return 'renamed to ' .. show(lines_of(buf)) end
    vim.cmd('silent write')
    if image_of(path, 'coe') ~= image then return 'the rename changed the words' end
  elseif row.completion then
    local result, err = ask(buf, 'textDocument/completion', position(buf, row.completion))
    if err then return 'completion: ' .. show(err) end
    local names = {}
    for _, item in ipairs(result.items or result) do
      table.insert(names, item.label)
      local detail = (row.detail or {})[item.label]
      if detail and item.detail ~= detail then return item.label .. ': ' .. show(item.detail) end
    end
    if not same(names, row.expect) then return 'completions ' .. show(names) end
  elseif row.symbols then
    local result, err = ask(buf, 'textDocument/documentSymbol',
                            {textDocument = {uri = vim.uri_from_bufnr(buf)}})
    if err then return 'symbols: ' .. show(err) end
    local found = {}
    for _, s in ipairs(result) do
      table.insert(found, s.name .. ' ' .. s.detail .. ' ' .. s.selectionRange.start.line)
    end
    if not same(found, row.expect) then return 'symbols ' .. show(found) end
  elseif row.format then
    local image = image_of(path, 'mif')
    local params = {textDocument = {uri = vim.uri_from_bufnr(buf)},
                    options = {tabSize = 8, insertSpaces = true}}
    local edits, err = ask(buf, 'textDocument/formatting', params)
    if err then return 'formatting: ' .. show(err) end
    vim.lsp.util.apply_text_edits(edits, buf, 'utf-16')
    if not same(lines_of(buf), row.expect) then return 'formatted ' .. show(lines_of(buf)) end
    vim.cmd('silent write')
    if image_of(path, 'mif') ~= image then return 'formatting changed the image' end
    if not wait_published(buf) then return 'no diagnostics after formatting' end
    edits = ask(buf, 'textDocument/formatting', params)
    vim.lsp.util.apply_text_edits(edits, buf, 'utf-16')
    if not same(lines_of(buf), row.expect) then return 'formatted again ' .. show(lines_of(buf)) end
  elseif row.quickfix then
    local at = {line = row.quickfix[1], character = row.quickfix[2]}
    local actions, err = ask(buf, 'textDocument/codeAction', {
      textDocument = {uri = vim.uri_from_bufnr(buf)}, range = {start = at, ['end'] = at},
      context = {diagnostics = vim.lsp.diagnostic.get_line_diagnostics(buf, at.line)}})
    if err then return 'code actions: ' .. show(err) end
    local titles = {}
    for _, a in ipairs(actions) do table.insert(titles, a.title) end
    if not same(titles, row.titles) then return 'code actions ' .. show(titles) end
    vim.lsp.util.apply_workspace_edit(actions[1].edit, 'utf-16')
    if not same(lines_of(buf), row.expect) then return 'fixed to ' .. show(lines_of(buf)) end
    if not wait_published(buf) then return 'no diagnostics after the fix' end
    for _, d in ipairs(vim.diagnostic.get(buf)) do
      if d.lnum == at.line then return 'still marked: ' .. d.message end
    end
  end
  return nil
end

local function main()
  if not orvix then error('ORVIX_BIN is not set') end
  if vim.lsp == nil or vim.lsp.start_client == nil then
    io.stdout:write('skipped: this Neovim has no built-in language server client\n')
    return true
  end
  client = vim.lsp.start_client({
    name = 'orvix',
    cmd = {orvix, '--lsp'},
    root_dir = dir,
    handlers = {
      ['textDocument/publishDiagnostics'] = function(err, result, ctx, config)
        vim.lsp.diagnostic.on_publish_diagnostics(err, result, ctx, config)
        published[result.uri] = {version = result.version, at = vim.loop.hrtime()}
      end,
    },
    on_exit = function(code) server_status = code end,
  })
  local passed, failed = 0, 0
  for i, row in ipairs(rows) do
    local path = string.format('%s/row%02d.asm', dir, i)
    vim.fn.writefile(row.text, path)
    vim.cmd('silent edit ' .. vim.fn.fnameescape(path))
    local buf = vim.api.nvim_get_current_buf()
    vim.lsp.buf_attach_client(buf, client)
    local ok, problem = pcall(function()
      if not wait_published(buf) then return 'no diagnostics after opening' end
      return check(row, buf, path)
    end)
    if ok and problem == nil then
      passed = passed + 1
      io.stdout:write('ok     ' .. row.name .. '\n')
    else
      failed = failed + 1
      io.stdout:write('FAILED ' .. row.name .. ': ' .. tostring(problem) .. '\n')
    end
    vim.cmd('silent bwipeout!')
  end
  local times = {}
  for _, ms in ipairs(latencies) do table.insert(times, string.format('%.0f ms', ms)) end
  io.stdout:write('diagnostics after a change: ' .. table.concat(times, ', ') .. '\n')

  vim.lsp.stop_client(client)
  vim.wait(5000, function() return server_status ~= nil end, 10)
  if server_status ~= 0 then
    failed = failed + 1
    io.stdout:write('FAILED the server ended with status ' .. tostring(server_status) .. '\n')
  end
  io.stdout:write(string.format('%d passed, %d failed\n', passed, failed))
  return failed == 0
end

local ok, result = pcall(main)
if not ok then io.stdout:write('error: ' .. tostring(result) .. '\n') end
vim.fn.delete(dir, 'rf')
if ok and result then vim.cmd('qall!') else vim.cmd('cquit 1') end
