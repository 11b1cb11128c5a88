-- Neovim with editors/vim on its runtime path, as the Debian package puts
-- it: file types, colours, comments, and the language server started by the
-- ftplugin with its notes in the messages and completion through omnifunc.
-- Run by nvim_package_test.py, which checks what this writes to
-- VELTRANE_NVIM_OUT.
local out, finish, wait = dofile(debug.getinfo(1, 'S').source:sub(2):match('.*/') ..
                                  'nvim_harness.lua')

vim.g.veltrane_lsp_command = { os.getenv('VELTRANE_LSP') }
vim.cmd('filetype plugin on')
vim.cmd('syntax on')

out.filetypes = {}
for _, path in ipairs(vim.fn.json_decode(os.getenv('VELTRANE_NVIM_FILES'))) do
  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  out.filetypes[vim.fn.fnamemodify(path, ':t')] = vim.bo.filetype
end

vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('VELTRANE_NVIM_EDIT')))
local buf = vim.api.nvim_get_current_buf()
out.runtimepath = vim.o.runtimepath
out.commentstring = vim.bo.commentstring
out.omnifunc = vim.bo.omnifunc
-- The syntax group at each (line, column) the test asks about.
out.syntax = {}
for _, at in ipairs(vim.fn.json_decode(os.getenv('VELTRANE_NVIM_SYNTAX'))) do
  table.insert(out.syntax, vim.fn.synIDattr(vim.fn.synID(at[1], at[2], 1), 'name'))
end

wait('diagnostics', function() return #vim.diagnostic.get(buf) > 0 end)
out.messages = {}
for _, d in ipairs(vim.diagnostic.get(buf)) do table.insert(out.messages, d.message) end
table.sort(out.messages)

-- Completion as a person asks for it: Ctrl-X Ctrl-O after "Control=".
vim.api.nvim_buf_set_lines(buf, -1, -1, false, { 'Control=' })
vim.api.nvim_win_set_cursor(0, { vim.api.nvim_buf_line_count(buf), 8 })
out.completion = {}
-- Typed keys run in the main loop, once this script has ended; a timer
-- looks for the menu the server's answer fills, then ends the test.
vim.api.nvim_feedkeys(vim.api.nvim_replace_termcodes('A<C-x><C-o>', true, false, true), 'nt', false)
local tries = 0
local timer = vim.loop.new_timer()
timer:start(100, 50, vim.schedule_wrap(function()
  tries = tries + 1
  local items = vim.fn.complete_info({ 'items' }).items or {}
  if #items == 0 and tries < 200 then return end
  timer:stop()
  for _, item in ipairs(items) do table.insert(out.completion, item.word) end
  finish()
end))
