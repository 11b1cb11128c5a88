" Instrument definition files and TeX installers both end in .ins: a file
" with an instrument definition section header among its first lines is
" "ins", any other keeps what it had or becomes "tex". The headers are the
" checker's own, matched at the start of a line.
function! s:VeltraneDetect() abort
  let l:header = '^\.\%(Patch Names\|Note Names\|Controller Names\|RPN Names\|NRPN Names\|Instrument Definitions\)'
  for l:line in getline(1, 100)
    if l:line =~# l:header
      set filetype=ins
      return
    endif
  endfor
  " An empty new file is no TeX installer yet either: leave it alone.
  if line('$') > 1 || getline(1) !=# ''
    setfiletype tex
  endif
endfunction

autocmd BufNewFile,BufRead *.ins call s:VeltraneDetect()
