" Instrument definition files, coloured the way the checker reads them:
" only a line's first characters decide what it is, names are taken as they
" stand (blanks included), and a line that starts with a blank is text.
if exists('b:current_syntax')
  finish
endif

syntax match insComment /^;.*$/
" A line that begins with a header is that header, whatever follows; any
" other line that begins with "." is no section.
syntax match insOtherDot /^\..*$/
syntax match insSection /^\.\%(Patch Names\|Note Names\|Controller Names\|RPN Names\|NRPN Names\|Instrument Definitions\)/
" A label's name runs to the first "]"; without one the list has no name.
syntax match insLabel /^\[[^\]]*\]/ contains=insLabelName
syntax match insLabelName /[^\[\]]\+/ contained
syntax match insUnclosed /^\[[^\]]*$/
" The six keys name a list after the first "="; Patch and Key may name the
" numbered lists 1..128 and 0..127 instead.
syntax match insKeyLine /^\%(BasedOn\|Control\|RPN\|NRPN\|Patch\|Key\)[^=]*=.*$/ contains=insKey,insIndex,insAssign
syntax match insKey /^\%(BasedOn\|Control\|RPN\|NRPN\|Patch\|Key\)/ contained
syntax match insIndex /\[[^\]=]*\]/ contained contains=insNumber,insWildcard
syntax match insNumber /\d\+/ contained
syntax match insWildcard /\*/ contained
syntax match insAssign /=/ contained nextgroup=insRange,insReference
syntax match insReference /.*$/ contained
syntax match insRange /\%(1\.\.128\|0\.\.127\)$/ contained
syntax match insEntry /^\d\+=/ contains=insEntryNumber
syntax match insEntryNumber /^\d\+/ contained

highlight default link insComment Comment
highlight default link insSection Title
highlight default link insOtherDot PreProc
highlight default link insLabel Delimiter
highlight default link insLabelName Type
highlight default link insUnclosed Error
highlight default link insKey Keyword
highlight default link insNumber Number
highlight default link insWildcard Constant
highlight default link insAssign Operator
highlight default link insReference Identifier
highlight default link insRange Number
highlight default link insEntryNumber Number

let b:current_syntax = 'ins'
