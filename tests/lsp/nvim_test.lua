-- Neovim's own language client on veltrane-lsp, as a person's editor uses
-- it: run by nvim_test.py, which passes the files through the environment
-- and checks what this script writes to VELTRANE_NVIM_OUT.
local server = os.getenv('VELTRANE_LSP')
local files = vim.fn.json_decode(os.getenv('VELTRANE_NVIM_FILES'))
local edit_file = os.getenv('VELTRANE_NVIM_EDIT')
local out_file = os.getenv('VELTRANE_NVIM_OUT')
local out = { files = {}, steps = {} }

local function finish(status)
  local f = io.open(out_file, 'w')
  f:write(vim.fn.json_encode(out))
  f:close()
  vim.cmd(status == 0 and 'qall!' or ('cquit ' .. status))
end

local function wait(what, condition)
  if not vim.wait(20000, condition, 20) then
    out.failed = 'timed out waiting for ' .. what
    finish(1)
  end
  table.insert(out.steps, what)
end

local published = {}
-- The client settings of the package in editors/vim, as its ftplugin
-- starts the server.
vim.opt.runtimepath:prepend(os.getenv('VELTRANE_VIM_DIR'))
local config = require('veltrane').config()
config.name = 'veltrane-lsp'
config.cmd = { server }
config.root_dir = vim.fn.fnamemodify(edit_file, ':h')
config.handlers = {
  ['textDocument/publishDiagnostics'] = function(err, result, ctx, cfg)
    local name = vim.uri_to_fname(result.uri)
    published[name] = (published[name] or 0) + 1
    vim.lsp.diagnostic.on_publish_diagnostics(err, result, ctx, cfg)
  end,
}
local client_id = vim.lsp.start_client(config)
if not client_id then
  out.failed = 'the client did not start'
  finish(1)
end

local function open(path)
  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  local buf = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(buf, client_id)
  wait('diagnostics of ' .. path, function() return (published[path] or 0) > 0 end)
  return buf
end

local function diagnostics(buf)
  local list = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    table.insert(list, { lnum = d.lnum, col = d.col, severity = d.severity, message = d.message })
  end
  table.sort(list, function(a, b)
    if a.lnum ~= b.lnum then return a.lnum < b.lnum end
    return a.message < b.message
  end)
  return list
end

for _, path in ipairs(files) do
  out.files[path] = diagnostics(open(path))
end

local buf = open(edit_file)
out.rack = diagnostics(buf)
local function line(n) return vim.api.nvim_buf_get_lines(buf, n - 1, n, false)[1] end

-- Go to the list a reference names (line 13, "Patch[*]=General").
vim.api.nvim_win_set_cursor(0, { 13, 11 })
vim.lsp.buf.definition()
wait('the definition', function() return vim.api.nvim_win_get_cursor(0)[1] ~= 13 end)
out.definition = vim.api.nvim_win_get_cursor(0)

-- Rename a list from one of its references (line 14, "Key[*,*]=Drums").
vim.api.nvim_win_set_cursor(0, { 14, 10 })
vim.lsp.buf.rename('Kit')
wait('the rename', function() return line(14) == 'Key[*,*]=Kit' end)

-- Apply the quick fix on the broken reference (line 15, "Control=Standrd"),
-- choosing the first action offered as a person would.
local before = published[edit_file]
wait('diagnostics after the rename', function() return published[edit_file] > before end)
vim.ui.select = function(items, _, on_choice) on_choice(items[1], 1) end
vim.api.nvim_win_set_cursor(0, { 15, 10 })
vim.lsp.buf.code_action()
wait('the quick fix', function() return line(15) ~= 'Control=Standrd' end)
before = published[edit_file]
wait('diagnostics after the quick fix', function() return published[edit_file] > before end)

out.lines = vim.api.nvim_buf_get_lines(buf, 0, -1, false)
out.final = diagnostics(buf)
vim.lsp.stop_client(client_id)
finish(0)
