"""The phone page served on the local network: it reads the agent address with the access token."""

MOBILE_HTML = """<!doctype html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>最近消息</title>
<style>
body { font-family: -apple-system, "PingFang SC", "Noto Sans CJK SC", sans-serif; margin: 16px; color: #1d1d1f; }
input, button { font-size: 16px; padding: 8px; }
li { margin: 8px 0; list-style: none; border-bottom: 1px solid #eee; padding-bottom: 8px; }
small { color: #888; }
#status { color: #b00; }
</style>
</head>
<body>
<h2>最近 7 天消息</h2>
<p>输入电脑端设置的远程访问口令后读取。</p>
<input id="token" type="password" placeholder="远程访问口令" autocomplete="off">
<button id="load">读取</button>
<p id="status"></p>
<h3>待办</h3><ul id="todos"></ul>
<h3>消息</h3><ul id="events"></ul>
<script>
function item(text, note) {
  const li = document.createElement("li");
  li.textContent = text;
  if (note) { const s = document.createElement("small"); s.textContent = " " + note; li.appendChild(s); }
  return li;
}
document.getElementById("load").onclick = async () => {
  const status = document.getElementById("status");
  status.textContent = "读取中…";
  try {
    const token = document.getElementById("token").value.trim();
    const reply = await fetch("/api/agent/context", { headers: token ? { "Quillmere": token } : {} });
    const doc = await reply.json();
    if (!reply.ok) { status.textContent = doc.error || ("HTTP " + reply.status); return; }
    status.textContent = "";
    const todos = document.getElementById("todos"), events = document.getElementById("events");
    todos.replaceChildren(...(doc.summary.action_items || []).map(t => item(t)));
    events.replaceChildren(...(doc.events || []).map(e =>
      item(e.session_name + "｜" + e.sender_name + "：" + (e.transcript || e.content), e.sent_at)));
  } catch (error) {
    status.textContent = "读取失败：" + error;
  }
};
</script>
</body>
</html>
"""
