// The rules page, made from the engine's rule table when the page is built:
// every rule under its id as anchor, with its explanation, example and fix.
// Every text from the table is escaped; the page has no script at all.

export function escapeHtml(text) {
  return String(text ?? '').replace(/[&<>"']/g, (c) => ({
    '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;',
  })[c]);
}

const FIX_WORDS = {
  safe: 'A safe fix: "Fix all" applies it.',
  unsafe: 'An unsafe fix: "Fix all" applies it only with "Also unsafe fixes" ticked; check the diff.',
  none: 'No automatic fix.',
};

function ruleSection(rule) {
  const id = escapeHtml(rule.id);
  const parts = [
    `<section class="rule-page" id="${id}" aria-labelledby="${id}-title">`,
    `<h2 id="${id}-title"><a href="#${id}">${id}</a> ${escapeHtml(rule.name)}</h2>`,
    `<p class="rule-meta">Severity: ${escapeHtml(rule.severity)} · ` +
      `${rule.defaultOn ? 'on by default' : 'off by default'} · ${escapeHtml(FIX_WORDS[rule.fix] || FIX_WORDS.none)}</p>`,
    `<p><strong>${escapeHtml(rule.summary)}</strong></p>`,
  ];
  // The table's parts where it has them; otherwise the whole explanation,
  // which holds them all.
  if (rule.description) {
    parts.push(`<p>${escapeHtml(rule.description)}</p>`);
  } else if (rule.explanation) {
    parts.push(`<pre class="explanation">${escapeHtml(rule.explanation)}</pre>`);
  }
  if (rule.example) {
    parts.push('<h3>Example</h3>', `<pre class="example">${escapeHtml(rule.example)}</pre>`);
  }
  if (rule.help) parts.push('<h3>Fix</h3>', `<p>${escapeHtml(rule.help)}</p>`);
  parts.push('</section>');
  return parts.join('\n');
}

export function rulesPage(rules) {
  const index = rules.map((r) =>
    `<li><a href="#${escapeHtml(r.id)}">${escapeHtml(r.id)}</a> ${escapeHtml(r.name)}: ${escapeHtml(r.summary)}</li>`);
  return `<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'self'; base-uri 'none'">
<meta name="color-scheme" content="light dark">
<title>Veltrane rules</title>
<link rel="stylesheet" href="veltrane.css">
</head>
<body class="rules-body">
<header class="bar"><h1>Veltrane rules</h1><a href="index.html">Back to the checker</a></header>
<main class="rules-main">
<p>Every rule the checker knows, with its explanation, an example and its fix. Link to a rule by
its id, as <code>rules.html#${escapeHtml(rules[0]?.id || 'VLT1001')}</code>.</p>
<nav aria-label="Rules"><ul class="rules-index">
${index.join('\n')}
</ul></nav>
${rules.map(ruleSection).join('\n')}
</main>
</body>
</html>
`;
}
