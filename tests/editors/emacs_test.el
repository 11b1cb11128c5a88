;;; emacs_test.el --- ins-mode and veltrane-lsp in a real Emacs (batch)  -*- lexical-binding: t; -*-

;; emacs --batch -Q -L editors/emacs -l tests/editors/emacs_test.el, with
;; VELTRANE_LSP the server to run: detection by content, colours, comments,
;; the outline, and eglot's diagnostics with each note in its message.

(require 'ert)
(require 'outline)
;; Debian's elpa-eglot (Emacs 28) is a package under site-lisp/elpa, which
;; -Q leaves out; Emacs 29 has eglot built in.
(when (file-directory-p "/usr/share/emacs/site-lisp/elpa")
  (add-to-list 'package-directory-list "/usr/share/emacs/site-lisp/elpa"))
(package-initialize)
(require 'ins-mode)

(defvar ins-test-dir (make-temp-file "ins-test" t))

(defun ins-test-file (name text)
  "Writes TEXT to NAME in the test folder and visits it."
  (let ((path (expand-file-name name ins-test-dir)))
    (with-temp-file path (insert text))
    (find-file-noselect path)))

(defconst ins-test-rack
  (concat ".Patch Names\n[General]\n0=Piano\n.Controller Names\n[Standard]\n; a comment\n"
          ".Instrument Definitions\n[Synth]\nPatch[*]=General\nControl=Standrd\nKey[0,*]=0..127\n"))

(ert-deftest ins-detection-by-content ()
  (let ((ins-mode-start-server nil))
    (dolist (case `(("rack.ins" ,ins-test-rack ins-mode)
                    ("late.ins" ,(concat (apply #'concat (make-list 40 "; notes\n"))
                                         ".Note Names\n") ins-mode)
                    ("upper.INS" ".Instrument Definitions\r\n[I]\r\n" ins-mode)
                    ("docstrip.ins" "\\input docstrip\n\\endbatchfile\n" tex-mode)
                    ("mention.ins" "%% the .Patch Names section\n\\endbatchfile\n" tex-mode)
                    ;; Content alone is not enough: the name must end in .ins.
                    ("notes.txt" ".Patch Names\n" text-mode)))
      (with-current-buffer (ins-test-file (nth 0 case) (nth 1 case))
        (should (equal (list (nth 0 case) (derived-mode-p (nth 2 case)))
                       (list (nth 0 case) (nth 2 case))))))))

(ert-deftest ins-colours-comments-outline ()
  (let ((ins-mode-start-server nil))
    (with-current-buffer (ins-test-file "colours.ins" ins-test-rack)
      (font-lock-ensure)
      (dolist (case '((1 1 font-lock-function-name-face)   ; .Patch Names
                      (2 2 font-lock-type-face)            ; General
                      (3 1 font-lock-constant-face)        ; 0
                      (6 3 font-lock-comment-face)
                      (9 1 font-lock-keyword-face)         ; Patch
                      (9 10 font-lock-variable-name-face)  ; General
                      (11 10 font-lock-constant-face)))    ; 0..127
        (goto-char (point-min))
        (forward-line (1- (nth 0 case)))
        (forward-char (1- (nth 1 case)))
        (should (equal (list (nth 0 case) (nth 1 case) (get-text-property (point) 'face))
                       (list (nth 0 case) (nth 1 case) (nth 2 case)))))
      (should (equal comment-start ";"))
      (goto-char (point-min))
      (let (levels)
        (while (progn (outline-next-heading) (not (eobp)))
          (push (cons (funcall outline-level)
                      (buffer-substring (point) (line-end-position)))
                levels))
        (should (equal (nreverse levels)
                       '((2 . "[General]") (1 . ".Controller Names") (2 . "[Standard]")
                         (1 . ".Instrument Definitions") (2 . "[Synth]"))))))))

(ert-deftest ins-eglot-notes-in-messages ()
  (skip-unless (require 'eglot nil t))
  (let ((ins-mode-server-command (list (getenv "VELTRANE_LSP"))))
    (with-current-buffer (ins-test-file "eglot.ins" ins-test-rack)
      ;; eglot-ensure connects after the next command, as in a session.
      (run-hooks 'post-command-hook)
      (should (eglot-current-server))
      (let ((deadline (+ (float-time) 20)))
        ;; Flymake asks on idle, which never comes in batch mode.
        (while (and (null (flymake-diagnostics)) (< (float-time) deadline))
          (accept-process-output nil 0.05)
          (flymake-start)))
      (should (equal (sort (mapcar #'flymake-diagnostic-text (flymake-diagnostics)) #'string<)
                     '("veltrane [VLT1002]: Label \"Standard\" not used"
                       "veltrane [VLT1003]: Label \"Standrd\" not found\ndid you mean \"Standard\" (line 5)?")))
      (eglot-shutdown (eglot-current-server)))))

;; The command the manual tells users to type, on a text whose only safe
;; fix is the blanks after a reference; a text with none stays as it is.
(ert-deftest ins-fix-all ()
  (skip-unless (require 'eglot nil t))
  (let ((ins-mode-server-command (list (getenv "VELTRANE_LSP"))))
    (dolist (case `(("fixable.ins" ,(replace-regexp-in-string "Standrd" "Standard  " ins-test-rack)
                     ,(replace-regexp-in-string "Standrd" "Standard" ins-test-rack))
                    ("nothing.ins" ,ins-test-rack ,ins-test-rack)))
      (with-current-buffer (ins-test-file (nth 0 case) (nth 1 case))
        (run-hooks 'post-command-hook)
        (should (eglot-current-server))
        (ins-mode-fix-all)
        (should (equal (list (nth 0 case) (buffer-string)) (list (nth 0 case) (nth 2 case))))
        (eglot-shutdown (eglot-current-server))))))

(ert-run-tests-batch-and-exit)
