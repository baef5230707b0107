// Reads a Mermaid flowchart on standard input and parses it with mermaid's
// own parser (in a DOM from jsdom, which mermaid needs). Accepted: prints
// {"nodes": [labels], "subgraphs": [titles]}, with entity codes decoded as
// rendering decodes them, and exits 0. Rejected: prints the
// parser's error on standard error and exits 1.
import { JSDOM } from "jsdom";

const { window } = new JSDOM("");
globalThis.window = window;
globalThis.document = window.document;

// The parser keeps "#quot;" and "#35;" as placeholders; rendering turns them
// into the characters they stand for, through the DOM.
function shown(label) {
  const html = label.replace(/ﬂ°°/g, "&#").replace(/ﬂ°/g, "&").replace(/¶ß/g, ";");
  const area = document.createElement("textarea");
  area.innerHTML = html;
  return area.value;
}

const chunks = [];
for await (const chunk of process.stdin) chunks.push(chunk);
const text = Buffer.concat(chunks).toString("utf8");

const { default: mermaid } = await import("mermaid");
mermaid.initialize({ startOnLoad: false, securityLevel: "strict" });
try {
  await mermaid.parse(text);
  const diagram = await mermaid.mermaidAPI.getDiagramFromText(text);
  const nodes = [...diagram.db.getVertices().values()].map((node) => shown(node.text));
  const subgraphs = diagram.db.getSubGraphs().map((subgraph) => shown(subgraph.title));
  console.log(JSON.stringify({ nodes, subgraphs }));
} catch (error) {
  console.error(String(error && error.message ? error.message : error));
  process.exit(1);
}
