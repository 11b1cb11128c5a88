" Comments, and in Neovim the language server veltrane-lsp with completion
" through omnifunc and :VeltraneFixAll. Set g:veltrane_lsp_command to a list (a program and its
" arguments) to run another server; set it to [] to start none.
if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1

setlocal commentstring=;%s comments=:;
let b:undo_ftplugin = 'setlocal commentstring< comments< omnifunc<'

if has('nvim-0.7')
  lua require('veltrane').attach(vim.api.nvim_get_current_buf())
  " Every safe fix of the buffer at once, as veltrane-check --fix.
  command! -buffer VeltraneFixAll lua require('veltrane').fix_all(0)
  let b:undo_ftplugin .= ' | delcommand VeltraneFixAll'
endif
