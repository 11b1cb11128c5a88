;;; ins-mode.el --- Instrument definition files, checked by veltrane-lsp  -*- lexical-binding: t; -*-

;; Version: 1.0.0
;; Keywords: languages, multimedia
;; URL: https://example.org/veltrane

;;; Commentary:

;; A major mode for instrument definition files (.ins): colours, `;'
;; comments, an outline of sections and lists (outline-minor-mode, imenu),
;; and the language server veltrane-lsp through eglot when eglot is there
;; (Emacs 29, or the elpa-eglot package on Emacs 28).
;;
;; TeX installers end in .ins too, so a file is an instrument definition
;; file by content: one of the six section headers at the start of a line
;; near its top.  Other .ins files keep their TeX mode.
;;
;; Lines are read as the checker reads them: only a line's first characters
;; decide what it is, and a `;' counts as a comment only at a line's start.

;;; Code:

(defgroup ins nil
  "Instrument definition files."
  :group 'languages
  :prefix "ins-mode-")

(defcustom ins-mode-server-command '("veltrane-lsp")
  "The language server and its arguments, for eglot."
  :type '(repeat string))

(defcustom ins-mode-start-server t
  "Whether ins-mode starts the language server with eglot.
It starts only when eglot and the server's program are there."
  :type 'boolean)

(defconst ins-mode-section-regexp
  "^\\.\\(?:Patch Names\\|Note Names\\|Controller Names\\|RPN Names\\|NRPN Names\\|Instrument Definitions\\)"
  "A section header: a line that begins with one is that header.")

(defconst ins-mode--key-regexp "^\\(BasedOn\\|Control\\|RPN\\|NRPN\\|Patch\\|Key\\)"
  "The six keys whose value after the first `=' names a list.")

(defvar ins-mode-font-lock-keywords
  `(("^;.*$" . font-lock-comment-face)
    (,ins-mode-section-regexp . font-lock-function-name-face)
    ;; Any other line that begins with "." is no section.
    ("^\\..*$" . font-lock-preprocessor-face)
    ;; A label's name runs to the first "]"; without one it has no name.
    ("^\\[\\([^]\n]*\\)\\]" 1 font-lock-type-face)
    ("^\\[[^]\n]*$" . font-lock-warning-face)
    (,(concat ins-mode--key-regexp "[^=\n]*=\\(1\\.\\.128\\|0\\.\\.127\\)$")
     (1 font-lock-keyword-face) (2 font-lock-constant-face))
    (,(concat ins-mode--key-regexp "[^=\n]*=\\(.*\\)$")
     (1 font-lock-keyword-face) (2 font-lock-variable-name-face))
    (,ins-mode--key-regexp . font-lock-keyword-face)
    ("^\\([0-9]+\\)=" 1 font-lock-constant-face))
  "Colours for `ins-mode'.")

(defun ins-mode--outline-level ()
  "Sections are the outline's first level, lists its second."
  (if (eq (char-after) ?.) 1 2))

(defun ins-mode-instrument-file-p ()
  "Non-nil when the buffer is an instrument definition file.
Its name ends in .ins and a section header starts a line near its top.
For `magic-mode-alist', which narrows the buffer to its start."
  (and buffer-file-name
       (string-match-p "\\.[iI][nN][sS]\\'" buffer-file-name)
       (save-excursion
         (goto-char (point-min))
         (re-search-forward ins-mode-section-regexp nil t))))

;;;###autoload
(define-derived-mode ins-mode prog-mode "INS"
  "Major mode for instrument definition files (.ins)."
  (setq-local comment-start ";")
  (setq-local comment-start-skip ";+\\s-*")
  (setq-local comment-end "")
  (setq-local font-lock-defaults '(ins-mode-font-lock-keywords t))
  (setq-local outline-regexp "\\.\\|\\[")
  (setq-local outline-heading-end-regexp "\n")
  (setq-local outline-level #'ins-mode--outline-level)
  (setq-local imenu-generic-expression
              `(("Sections" ,(concat "\\(" ins-mode-section-regexp ".*\\)") 1)
                ("Lists" "^\\[\\([^]\n]*\\)\\]" 1)))
  (when (and ins-mode-start-server
             (require 'eglot nil t)
             (executable-find (car ins-mode-server-command)))
    (eglot-ensure)))

(declare-function eglot-code-actions "eglot")

(defun ins-mode-fix-all ()
  "Apply every safe fix of the buffer at once, as veltrane-check --fix does.
Asks the language server, through eglot, for its source.fixAll.veltrane
action.  Where there is nothing to fix, says so and changes nothing; for
fixes on every save:
  (add-hook \='ins-mode-hook
            (lambda () (add-hook \='before-save-hook #\='ins-mode-fix-all nil t)))"
  (interactive)
  (if (not (and (fboundp 'eglot-current-server) (eglot-current-server)))
      (when (called-interactively-p 'any)
        (message "ins-mode: the language server is not running in this buffer"))
    (condition-case failure
        (eglot-code-actions (point-min) (point-max) "source.fixAll.veltrane" t)
      (error (when (called-interactively-p 'any)
               (message "%s" (error-message-string failure)))))))

;;;###autoload
(add-to-list 'magic-mode-alist '(ins-mode-instrument-file-p . ins-mode))

;;;###autoload
(with-eval-after-load 'eglot
  (add-to-list 'eglot-server-programs
               `(ins-mode . ,(lambda (&rest _) ins-mode-server-command))))

(provide 'ins-mode)
;;; ins-mode.el ends here
