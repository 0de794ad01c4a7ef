// The official MCP TypeScript SDK client against razo's core: connects to the URL given, lists the
// tools, calls each, and prints what it saw as one JSON document for sdk_check.py to judge.
// Usage: node sdk_client.mjs URL QUERY
import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StreamableHTTPClientTransport } from "@modelcontextprotocol/sdk/client/streamableHttp.js";
import { LATEST_PROTOCOL_VERSION } from "@modelcontextprotocol/sdk/types.js";

const [url, query] = process.argv.slice(2);
const errors = [];
const transport = new StreamableHTTPClientTransport(new URL(url));
const client = new Client({ name: "razo-sdk-check", version: "1.0.0" });
client.onerror = (error) => errors.push(String(error));

const call = (name, args) => client.callTool({ name, arguments: args });
const seen = { sdkLatest: LATEST_PROTOCOL_VERSION };
try {
  await client.connect(transport);
  seen.negotiated = transport.protocolVersion;
  seen.server = client.getServerVersion();
  seen.tools = (await client.listTools()).tools.map((tool) => tool.name);
  // callTool checks each structured result against the tool's output schema.
  seen.search = await call("search_messages", { query });
  seen.todos = await call("get_todos", {});
  const first = seen.todos.structuredContent?.todos?.[0]?.id ?? -1;
  seen.completed = await call("complete_task", { id: first });
  seen.todosAfter = await call("get_todos", {});
  seen.listed = await call("list_messages", { hours: 1, limit: 5 });
  seen.digest = await call("get_digest", {});
  seen.badKind = await call("list_messages", { kind: "party" });
  seen.ping = await client.ping();
  await client.close();
} catch (error) {
  errors.push(String(error));
}
seen.errors = errors;
process.stdout.write(JSON.stringify(seen) + "\n");
