// The official MCP TypeScript SDK client against razo's core: connects to the URL given, lists the
// tools, calls each, and prints what it saw as one JSON document for sdk_check.py to judge.
// Usage: node sdk_client.mjs URL QUERY
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StreamableHTTPClientTransport } from "@modelcontextprotocol/sdk/client/streamableHttp.js";
import { LATEST_PROTOCOL_VERSION } from "@modelcontextprotocol/sdk/types.js";

const [url, query] = process.argv.slice(2);
const transport = new StreamableHTTPClientTransport(new URL(url));
const client = new Client({ name: "razo-sdk-check", version: "1.0.0" });
const seen = { sdkLatest: LATEST_PROTOCOL_VERSION, errors: [] };
client.onerror = (error) => seen.errors.push(String(error)); // also a refused GET stream
const call = (name, args) => client.callTool({ name, arguments: args }); // checks the output schema

try {
  await client.connect(transport);
  seen.negotiated = transport.protocolVersion;
  seen.tools = (await client.listTools()).tools.map((tool) => tool.name);
  seen.search = await call("search_messages", { query });
  seen.listed = await call("list_messages", { kind: "todo", source: "wecom" });
  seen.digest = await call("get_digest", {});
  seen.todos = await call("get_todos", {});
  seen.completed = await call("complete_task", { id: seen.todos.structuredContent.todos[0].id });
  await client.ping();
  await client.close();
} catch (error) {
  seen.errors.push(String(error));
}
process.stdout.write(JSON.stringify(seen) + "\n");
