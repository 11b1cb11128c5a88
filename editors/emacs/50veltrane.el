;; Start-up file of the veltrane package: ins-mode for instrument definition
;; files (by content: TeX installers end in .ins too), and veltrane-lsp for
;; eglot.
(dolist (dir '("/usr/share/emacs/site-lisp/veltrane" "/usr/local/share/emacs/site-lisp/veltrane"))
  (when (file-exists-p (expand-file-name "ins-mode.el" dir))
    (add-to-list 'load-path dir)
    (autoload 'ins-mode "ins-mode" "Major mode for instrument definition files (.ins)." t)
    (autoload 'ins-mode-instrument-file-p "ins-mode")
    (add-to-list 'magic-mode-alist '(ins-mode-instrument-file-p . ins-mode))
    (with-eval-after-load 'eglot (require 'ins-mode))))
