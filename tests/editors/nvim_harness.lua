-- What the Neovim scripts of these tests share: the result they write to
-- VELTRANE_NVIM_OUT, with the steps done, and waiting for a step.
--   local out, finish, wait = dofile(directory .. 'nvim_harness.lua')
local out = { steps = {} }
local function finish()
  local f = io.open(os.getenv('VELTRANE_NVIM_OUT'), 'w')
  f:write(vim.fn.json_encode(out))
  f:close()
  vim.cmd('qall!')
end
-- Waits up to 20 s for `condition`; on a timeout the result says what for,
-- and Neovim ends.
local function wait(what, condition)
  if not vim.wait(20000, condition, 20) then
    out.failed = 'timed out waiting for ' .. what
    finish()
  end
  table.insert(out.steps, what)
end
return out, finish, wait
