-- Starts veltrane-lsp once for all instrument definition buffers and
-- attaches each of them, with completion through omnifunc.
local M = {}

-- The client's settings: the command, and the capabilities without
-- relatedInformation, which Neovim announces but shows nowhere. Without
-- it the server puts its notes ("did you mean ...") into the messages.
function M.config()
  local command = vim.g.veltrane_lsp_command or { 'veltrane-lsp' }
  local capabilities = vim.lsp.protocol.make_client_capabilities()
  capabilities.textDocument.publishDiagnostics.relatedInformation = false
  return { name = 'veltrane', cmd = command, capabilities = capabilities }
end

local client_id

function M.attach(buf)
  local config = M.config()
  if #config.cmd == 0 then
    return
  end
  if vim.fn.executable(config.cmd[1]) ~= 1 then
    vim.notify_once('veltrane: ' .. config.cmd[1] .. ' is not installed or not on PATH',
      vim.log.levels.WARN)
    return
  end
  if not client_id or vim.lsp.client_is_stopped(client_id) then
    client_id = vim.lsp.start_client(config)
  end
  if client_id then
    vim.lsp.buf_attach_client(buf, client_id)
    vim.bo[buf].omnifunc = 'v:lua.vim.lsp.omnifunc'
  end
end

return M
