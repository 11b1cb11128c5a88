-- The set-up veltrane-lsp(1) shows for init.lua, with the package's
-- ftplugin on the runtime path too, as on a machine with the Debian package:
-- one client serves every buffer, and :VeltraneFixAll applies the safe
-- fixes. Run by nvim_package_test.py, with the man page's lines in
-- VELTRANE_NVIM_INIT and veltrane-lsp on PATH.
local out, finish, wait = dofile(debug.getinfo(1, 'S').source:sub(2):match('.*/') ..
                                  'nvim_harness.lua')

-- As a user's init.lua: read before the file types are on.
assert(loadstring(os.getenv('VELTRANE_NVIM_INIT')))()
vim.cmd('filetype plugin on')

local files = vim.fn.json_decode(os.getenv('VELTRANE_NVIM_FILES'))
local buffers = {}
for _, path in ipairs(files) do
  vim.cmd('edit ' .. vim.fn.fnameescape(path))
  table.insert(buffers, vim.api.nvim_get_current_buf())
  wait('diagnostics of ' .. path, function() return #vim.diagnostic.get(0) > 0 end)
end
-- Time for a second client, if one was started, to publish too.
vim.wait(500)
out.clients = #vim.lsp.get_active_clients()
out.diagnostics = {}
for i, buf in ipairs(buffers) do
  out.diagnostics[i] = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    table.insert(out.diagnostics[i], d.lnum .. ':' .. d.message)
  end
  table.sort(out.diagnostics[i])
end

-- Fix-all on the first file, which has a safe fix.
vim.cmd('buffer ' .. buffers[1])
vim.cmd('VeltraneFixAll')
out.fixed = vim.api.nvim_buf_get_lines(buffers[1], 0, -1, false)
finish()
