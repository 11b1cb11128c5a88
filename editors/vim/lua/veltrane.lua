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

-- The client is kept in g:veltrane_lsp, which the set-up that
-- veltrane-lsp(1) shows for init.lua uses too: with both, one client
-- serves every buffer.
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
  -- A client still starting counts as stopped for client_is_stopped(), but
  -- get_client_by_id() knows it.
  if not (vim.g.veltrane_lsp and vim.lsp.get_client_by_id(vim.g.veltrane_lsp)) then
    vim.g.veltrane_lsp = vim.lsp.start_client(config)
  end
  if vim.g.veltrane_lsp then
    vim.lsp.buf_attach_client(buf, vim.g.veltrane_lsp)
    vim.bo[buf].omnifunc = 'v:lua.vim.lsp.omnifunc'
  end
end

-- Applies every safe fix of buffer `buf` (0: the current one) at once, as
-- veltrane-check --fix does: the server's source.fixAll.veltrane action.
-- Does nothing where there is nothing to fix.
function M.fix_all(buf)
  if buf == nil or buf == 0 then
    buf = vim.api.nvim_get_current_buf()
  end
  local kind = 'source.fixAll.veltrane'
  local params = {
    textDocument = { uri = vim.uri_from_bufnr(buf) },
    range = { start = { line = 0, character = 0 }, ['end'] = { line = 0, character = 0 } },
    context = { diagnostics = {}, only = { kind } },
  }
  local answers = vim.lsp.buf_request_sync(buf, 'textDocument/codeAction', params, 10000) or {}
  for id, answer in pairs(answers) do
    local client = vim.lsp.get_client_by_id(id)
    for _, action in ipairs(answer.result or {}) do
      if action.kind == kind and action.edit and client then
        vim.lsp.util.apply_workspace_edit(action.edit, client.offset_encoding)
      end
    end
  end
end

return M
