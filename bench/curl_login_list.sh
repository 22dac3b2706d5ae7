#!/usr/bin/env bash
# The yardstick of bench/cli_list.sh: curl logs in to the back office at $1
# (login page, its CSRF token, the form post) and fetches the all-orders list.
# The session's cookies are kept in the file $2 when one is named.
set -euo pipefail
host=$1
if [[ -n ${2:-} ]]; then
  jar=$2
else
  jar=$(mktemp)
  trap 'rm -f "$jar"' EXIT
fi
token=$(curl -s -c "$jar" "http://$host/site/login" | sed -n 's/.*csrf-token" content="\([^"]*\)".*/\1/p')
curl -s -b "$jar" -c "$jar" -o /dev/null --data-urlencode "_csrf-business=$token" \
  --data-urlencode "BusinessLoginFrom[username]=demo" \
  --data-urlencode "BusinessLoginFrom[password]=demo123" "http://$host/site/login"
curl -s -b "$jar" -o /dev/null "http://$host/order/list"
